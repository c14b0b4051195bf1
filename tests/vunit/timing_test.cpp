// The timing model: what it changes in the unit's answers and their pacing.
#include "host.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace hosttest;

namespace {

vunit::UnitOptions timed() {
    vunit::UnitOptions o;
    o.timing = true;
    return o;
}

} // namespace

TEST(Timing, EraseFollowUpReportsTheEraseStillRunning) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h, timed());
    ASSERT_EQ(transact(h, addressRequest(0x13, 0x20000)), Bytes{0x01});
    EXPECT_EQ(transact(h, addressRequest(0x23, 0x20000)), Bytes{0x05});
    // A memory command waits for the erase: its answer is 700 ms of model
    // time away, which the wall clock has to cover as well.
    ASSERT_TRUE(sendMessage(h, readMemoryRequest(0x20000, 4)));
    EXPECT_FALSE(receive(h, 200));
    const auto a = receive(h, 3000);
    ASSERT_TRUE(a);
    EXPECT_EQ(*a, (Bytes{0x06, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(transact(h, addressRequest(0x23, 0x20000)), Bytes{0x01});

    Host plain;
    auto quick = poweredUnit(streamIdentity(), plain);
    ASSERT_EQ(transact(plain, addressRequest(0x13, 0x20000)), Bytes{0x01});
    EXPECT_EQ(transact(plain, addressRequest(0x23, 0x20000)), Bytes{0x01});
}

TEST(Timing, WritesTakeTheirFrames) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h, timed());
    // 40 reports of six 64-byte frames each cannot take less than 240 ms.
    const Bytes r = streamBuffers(Bytes(300, 0x55), true)[0];
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 40; ++i) ASSERT_EQ(vunit::writeReport(*u, r.data(), r.size()), 321);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(240));
}
