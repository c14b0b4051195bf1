// One writer thread and one reader thread, the way the host uses a unit.
#include "host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace hosttest;

TEST(Threads, BlockedReaderGetsEveryReportWhileAnotherThreadWrites) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    std::atomic<int> statusReports{0};
    std::atomic<int> dataReports{0};
    std::thread reader([&] {
        uint8_t buf[64];
        for (;;) {
            const int n = vunit::readReport(*u, buf, sizeof buf, -1);
            if (n < 0) return;
            (buf[0] == 2 ? statusReports : dataReports)++;
        }
    });
    const Bytes version = streamBuffers({0x0D}, false)[0];
    Bytes statusRequest(321, 0);
    statusRequest[0] = 0x20;
    statusRequest[1] = 1;
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(vunit::writeReport(*u, version.data(), version.size()), 321);
        ASSERT_EQ(vunit::writeReport(*u, statusRequest.data(), statusRequest.size()), 321);
        // Keep under the 200 input buffers: let the reader catch up.
        while (dataReports + statusReports < 3 * (i + 1)) std::this_thread::yield();
    }
    vunit::cancelRead(*u);
    reader.join();
    EXPECT_EQ(statusReports, 200);
    EXPECT_EQ(dataReports, 400); // two 8-byte reports per version answer
}

TEST(Threads, CancelAndUnplugWakeABlockedReader) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    std::atomic<int> result{1};
    std::thread reader([&] {
        uint8_t buf[8];
        result = vunit::readReport(*u, buf, sizeof buf, -1);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    vunit::cancelRead(*u);
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(vunit::isPlugged(*u));

    std::thread second([&] {
        uint8_t buf[8];
        result = vunit::readReport(*u, buf, sizeof buf, 10'000);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    vunit::unplug(*u);
    second.join();
    EXPECT_EQ(result, -1);
    const Bytes version = streamBuffers({0x0D}, false)[0];
    EXPECT_EQ(vunit::writeReport(*u, version.data(), version.size()), -1);
}
