// The hidraw backend against units faked by umockdev: opening, reading,
// writing, stopping and unplugging.
#include "backends.h"
#include "descriptors.h"
#include "device_modes.h"
#include "testbed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <unistd.h>

namespace {

namespace native = zelhid::native;
using bexo_test::FakeUnit;
using zelhid::WriteResult;
using zelhid::WriteStatus;

constexpr int kLongMs = 30000; // only reached when the behaviour under test is broken

// The caller's whole buffer: the report's own bytes, then padding that must
// never reach the unit when the report is shorter.
std::vector<uint8_t> buffer(uint8_t id, size_t size) {
    std::vector<uint8_t> b(size, 0xEE);
    b[0] = id;
    for (size_t i = 1; i < size; ++i) b[i] = static_cast<uint8_t>(i % 0xE0);
    return b;
}

class HidrawUnit : public ::testing::Test {
protected:
    void TearDown() override {
        if (device) native::close(device);
        for (const FakeUnit& unit : units) bexo_test::removeUnit(unit);
    }

    FakeUnit add(int number, uint16_t productId, const std::vector<uint8_t>& descriptor, uint16_t vendorId = 0x16B5) {
        units.push_back(bexo_test::addUnit(number, vendorId, productId, descriptor));
        return units.back();
    }

    // Opens `unit` as the test's device.
    bool open(const FakeUnit& unit) {
        device = native::openExclusive(unit.node);
        return device != nullptr;
    }

    // Runs readReports on another thread, lets it block, then does `act`.
    int readBlockedThen(void (*act)(zelhid::Device*, const FakeUnit&), const FakeUnit& unit) {
        std::atomic<pid_t> tid{0};
        int result = 99;
        std::thread reader([&] {
            tid = gettid();
            uint8_t report[32];
            result = native::readReports(device, report, sizeof report, kLongMs);
        });
        while (tid == 0) std::this_thread::yield();
        EXPECT_TRUE(bexo_test::waitUntilAsleep(tid));
        act(device, unit);
        reader.join();
        return result;
    }

    zelhid::Device* device = nullptr;
    std::vector<FakeUnit> units;
};

TEST_F(HidrawUnit, EnumerationListsTheUnitsWithTheirIds) {
    add(21, 2, bexo_test::packetUnitDescriptor(), 0x4242);
    add(20, 1, bexo_test::streamUnitDescriptor());

    const auto devices = native::enumerate();
    const auto at = [&](const char* path) {
        return std::find_if(devices.begin(), devices.end(), [&](const auto& d) { return d.path == path; });
    };
    const auto stream = at("/dev/hidraw20");
    const auto packet = at("/dev/hidraw21");
    ASSERT_NE(stream, devices.end());
    ASSERT_NE(packet, devices.end());
    EXPECT_LT(stream, packet);
    EXPECT_EQ(stream->vendorId, 0x16B5);
    EXPECT_EQ(stream->productId, 1);
    EXPECT_EQ(packet->vendorId, 0x4242);
    EXPECT_EQ(packet->productId, 2);
}

TEST_F(HidrawUnit, ASecondOpenerIsToldBusyHereAndInAnotherProcess) {
    const FakeUnit unit = add(22, 1, bexo_test::streamUnitDescriptor());
    ASSERT_TRUE(open(unit));

    bool busy = false;
    EXPECT_EQ(native::openExclusive(unit.node, &busy), nullptr);
    EXPECT_TRUE(busy);
    EXPECT_EQ(bexo_test::runSelf({bexo_test::kProbeOpenMode, unit.node}), bexo_test::kProbeBusy);

    native::close(device);
    device = nullptr;
    EXPECT_EQ(bexo_test::runSelf({bexo_test::kProbeOpenMode, unit.node}), bexo_test::kProbeOpened);

    busy = true;
    EXPECT_EQ(native::openExclusive("/dev/hidraw-none", &busy), nullptr);
    EXPECT_FALSE(busy);
}

TEST_F(HidrawUnit, AReadGivesOneReportAndZeroWhenNoneComes) {
    const FakeUnit unit = add(23, 1, bexo_test::streamUnitDescriptor());
    ASSERT_TRUE(open(unit));
    native::setInputBuffers(device, 200);
    EXPECT_FALSE(native::isVirtual(device));

    const std::vector<uint8_t> report{0x01, 0x02, 0x03, 0x0A, 0x0D, 0x11, 0x13, 0xFF};
    ASSERT_TRUE(bexo_test::transmit(unit, report));
    uint8_t got[32] = {};
    ASSERT_EQ(native::readReports(device, got, sizeof got, kLongMs), 8);
    EXPECT_EQ(std::vector<uint8_t>(got, got + 8), report);

    EXPECT_EQ(native::readReports(device, got, sizeof got, 20), 0);
}

TEST_F(HidrawUnit, StopEndsABlockedReadAndEveryLaterOne) {
    const FakeUnit unit = add(24, 1, bexo_test::streamUnitDescriptor());
    ASSERT_TRUE(open(unit));

    EXPECT_EQ(readBlockedThen([](zelhid::Device* d, const FakeUnit&) { native::stopReads(d); }, unit), -1);

    ASSERT_TRUE(bexo_test::transmit(unit, {0x01, 1, 2, 3, 4, 5, 6, 7}));
    uint8_t got[32];
    EXPECT_EQ(native::readReports(device, got, sizeof got, kLongMs), -1);
}

TEST_F(HidrawUnit, AnUnpluggedUnitEndsTheReadAndFailsWrites) {
    const FakeUnit unit = add(25, 1, bexo_test::streamUnitDescriptor());
    ASSERT_TRUE(open(unit));

    EXPECT_EQ(readBlockedThen([](zelhid::Device*, const FakeUnit& u) { bexo_test::hangUp(u); }, unit), -1);

    const auto out = buffer(0x13, 321);
    EXPECT_EQ(native::writeReport(device, out.data(), out.size(), kLongMs).status, WriteStatus::Failed);
}

TEST_F(HidrawUnit, StreamReportsAreCutToTheirDescribedLength) {
    const FakeUnit unit = add(26, 1, bexo_test::streamUnitDescriptor());
    ASSERT_TRUE(open(unit));

    std::vector<uint8_t> expected;
    expected.reserve(8 + 16 + 128 + 321);
    for (const auto& [id, length] : {std::pair<uint8_t, size_t>{0x10, 8}, {0x11, 16}, {0x12, 128}, {0x13, 321}}) {
        const auto out = buffer(id, 321);
        const WriteResult result = native::writeReport(device, out.data(), out.size(), kLongMs);
        EXPECT_EQ(result.status, WriteStatus::Ok);
        EXPECT_EQ(result.written, 321u);
        for (size_t i = 0; i < length; ++i) expected.push_back(out[i]);
    }
    EXPECT_EQ(bexo_test::receive(unit, expected.size()), expected);
}

TEST_F(HidrawUnit, WithoutADescriptorTheWholeBufferIsWritten) {
    const FakeUnit unit = add(28, 1, {});
    ASSERT_TRUE(open(unit));

    const auto out = buffer(0x10, 321);
    const WriteResult result = native::writeReport(device, out.data(), out.size(), kLongMs);
    EXPECT_EQ(result.status, WriteStatus::Ok);
    EXPECT_EQ(result.written, 321u);
    EXPECT_EQ(bexo_test::receive(unit, out.size()), out);
}

// Nobody reads the unit's side, so the node fills up: what fits is taken,
// and then the writer waits out its time-out.
TEST_F(HidrawUnit, AUnitThatTakesNothingMoreTimesOut) {
    const FakeUnit unit = add(29, 1, bexo_test::streamUnitDescriptor());
    ASSERT_TRUE(open(unit));

    const auto out = buffer(0x13, 321);
    WriteResult result{WriteStatus::Ok, 0, 0};
    for (int i = 0; i < 10000 && result.status == WriteStatus::Ok; ++i) {
        result = native::writeReport(device, out.data(), out.size(), 10);
    }
    if (result.status == WriteStatus::Short) {
        EXPECT_GT(result.written, 0u);
        EXPECT_LT(result.written, 321u);
        result = native::writeReport(device, out.data(), out.size(), 10);
    }
    EXPECT_EQ(result.status, WriteStatus::TimedOut);
    EXPECT_EQ(result.waitResult, 258u);
}

} // namespace
