// What the library makes of a unit that misbehaves: nothing hangs past its
// time-out, nothing crashes, and the error words say what happened.
#include "opened.h"

#include <chrono>
#include <thread>

using namespace testunits;

namespace {

TEST(Faults, MissingAnswer) {
    Opened o;
    armNow(o, "drop-response");
    unsigned char b[4] = {};
    EXPECT_EQ(ZELReadEE(o.unit, 0, b, 4), 0);
    EXPECT_EQ(lastError(o.unit), 0x0D002000u);
    EXPECT_EQ(ZELReadEE(o.unit, 0, b, 4), 1); // the next conversation is fine
}

TEST(Faults, SendThatNeverCompletes) {
    Opened o;
    armNow(o, "stall-output:5300");
    unsigned char b[4] = {};
    EXPECT_EQ(ZELReadEE(o.unit, 0, b, 4), 0);
    uint32_t detail = 0;
    EXPECT_EQ(lastError(o.unit, &detail), 0x0D001002u);
    EXPECT_EQ(detail, 258u);
    std::this_thread::sleep_for(std::chrono::milliseconds(400)); // the endpoint takes reports again
    EXPECT_EQ(ZELReadEE(o.unit, 0, b, 4), 1);
}

TEST(Faults, LateAnswerIsDrainedByTheNextReframe) {
    Opened o;
    armNow(o, "late-response:5600");
    unsigned char major, minor, code;
    EXPECT_EQ(ZELGetVersion(o.unit, major, minor, code), 0);
    EXPECT_EQ(lastError(o.unit), 0x17002000u);
    std::this_thread::sleep_for(std::chrono::milliseconds(800)); // the late answer arrives
    ASSERT_EQ(ZELReframe(o.unit), 1);
    unsigned char ee[2] = {};
    EXPECT_EQ(ZELReadEE(o.unit, 0, ee, 2), 1);
    EXPECT_EQ(ee[0] | (ee[1] << 8), 0x8100);
}

TEST(Faults, WrongResponseCode) {
    Opened o;
    armNow(o, "wrong-code");
    unsigned char b[4] = {9, 9, 9, 9};
    EXPECT_EQ(ZELReadEE(o.unit, 0, b, 4), 0);
    uint32_t detail = 1;
    EXPECT_EQ(lastError(o.unit, &detail), 0x0E000000u);
    EXPECT_EQ(detail, 0u);
    EXPECT_EQ(b[0], 9); // untouched

    armNow(o, "wrong-code");
    EXPECT_EQ(ZELPowerOff(o.unit), 0);
    EXPECT_EQ(lastError(o.unit), 0x1A000000u);
}

TEST(Faults, ShortMemoryReply) {
    Opened o;
    armNow(o, "short-read:40");
    std::vector<uint8_t> b(100);
    unsigned short length = 100;
    EXPECT_EQ(ZELReadMemory(o.unit, 0, b.data(), length), 0);
    EXPECT_EQ(length, 40);
    uint32_t detail = 0;
    EXPECT_EQ(lastError(o.unit, &detail), 0x02000000u);
    EXPECT_EQ(detail, 100u | (40u << 16));
}

TEST(Faults, GarbageBeforeAnAnswer) {
    Opened o;
    armNow(o, "garbage:5");
    unsigned char major = 0, minor = 0, code = 0;
    ZELGetVersion(o.unit, major, minor, code); // may take a piece of garbage as its answer
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(ZELReframe(o.unit), 1);
    EXPECT_EQ(ZELGetVersion(o.unit, major, minor, code), 1);
    EXPECT_EQ(minor, 29);
}

TEST(Faults, UnpluggedMidConversation) {
    Opened o;
    armNow(o, "unplug-after:3");
    std::vector<uint8_t> b(100);
    unsigned short length = 100;
    const auto start = std::chrono::steady_clock::now();
    int failures = 0;
    for (int i = 0; i < 4; ++i) failures += ZELReadMemory(o.unit, 0, b.data(), length) ? 0 : 1;
    EXPECT_GE(failures, 3);
    // Once gone, sends fail at once: no five-second waits pile up.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(lastError(o.unit) & 0xFF000000u, 0x01000000u);
    unsigned char ee[1];
    EXPECT_EQ(ZELWriteEE(o.unit, 9, ee, 1), 0);
    EXPECT_EQ(lastError(o.unit), 0x0B001001u);
}

TEST(Faults, PowerCutWhileProgrammingLeavesATornPage) {
    Opened o;
    std::vector<uint8_t> zeros(200, 0x00);
    armNow(o, "power-cut-program:1");
    EXPECT_EQ(ZELWriteMemory(o.unit, 5u << 16, zeros.data(), 200), 0);
    ZELCloseDevice(o.unit);
    // Powered up again from what the flash holds.
    const vunit::Storage s = storedState(*o.plugged);
    const auto& sector = s.sectors[5];
    size_t done = 0;
    for (size_t i = 0; i < 200; ++i) done += sector[i] == 0x00 ? 1 : 0;
    EXPECT_LT(done, 200u);
    EXPECT_EQ(sector[300], 0xFF);
    ZELVirtualUnplug(o.plugged->dir.string().c_str());
    ZELVirtualPlug(o.plugged->dir.string().c_str());
    o.unit = openPowered();
    ASSERT_GE(o.unit, 0);
    ASSERT_EQ(ZELWriteMemory(o.unit, 5u << 16, zeros.data(), 200), 1);
    std::vector<uint8_t> back(200, 1);
    unsigned short n = 200;
    ASSERT_EQ(ZELReadMemory(o.unit, 5u << 16, back.data(), n), 1);
    EXPECT_EQ(back, zeros);
}

} // namespace
