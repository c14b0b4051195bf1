// The protocol's fixed waits at their real length: a unit needs them, so the
// default clock must never cut them short. Each kind of wait once.
#include "../zelusb_firmware/load_support.h"
#include "../zelusb_virtual/virtual_units.h"
#include "vstore/folder.h"

#include <chrono>
#include <cstdlib>

using namespace testunits;
using Clock = std::chrono::steady_clock;

namespace {

long msSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class RealWaits : public ::testing::Test {
protected:
    void SetUp() override {
        initialiseLibrary(); // asks for the fast clock ...
#if defined(_WIN32)
        _putenv_s("ZELUSB_FAST_CLOCK", "");
#else
        unsetenv("ZELUSB_FAST_CLOCK"); // ... which units opened from now on don't get
#endif
    }
};

TEST_F(RealWaits, OpenSettlesForHalfASecond) {
    auto plugged = plugUnit();
    const auto start = Clock::now();
    const int unit = ZELOpenNextAvailableDevice();
    EXPECT_GE(msSince(start), 500);
    ZELCloseDevice(unit);
}

TEST_F(RealWaits, PowerOnHoldsThePinsApart) {
    auto plugged = plugUnit();
    const int unit = ZELOpenNextAvailableDevice();
    const auto start = Clock::now();
    ASSERT_EQ(ZELPowerOn(unit), 1);
    EXPECT_GE(msSince(start), 3500);
    ZELCloseDevice(unit);
}

TEST_F(RealWaits, IdentificationWaitsAfterReframeAndPins) {
    auto plugged = plugUnit();
    const int unit = ZELOpenNextAvailableDevice();
    unsigned char bootMode, memoryCode;
    unsigned short usb, firmware, cpu;
    char name[16];
    const auto start = Clock::now();
    ASSERT_EQ(ZELInitDevice(unit, &bootMode, &usb, &firmware, &cpu, &memoryCode, name), 1);
    EXPECT_GE(msSince(start), 2000 + 500 + 3500); // reframe, pins, power-on
    ZELCloseDevice(unit);
}

TEST_F(RealWaits, BusyEraseIsWaitedOut) {
    UnitSpec spec;
    spec.timing = true;
    auto plugged = plugUnit(spec);
    const int unit = openPowered();
    const auto start = Clock::now();
    ASSERT_EQ(ZELEraseMemory(unit, 5u << 16), 1);
    EXPECT_GE(msSince(start), 3000);
    ZELCloseDevice(unit);
}

// Powered up without ZELPowerOn's own wait: both pin steps at once.
int openWithPinsUp() {
    const int unit = ZELOpenNextAvailableDevice();
    ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 0}});
    ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 2}});
    return unit;
}

// The firmware loader's pauses: 500 ms before the unit is powered into its
// boot-loader, and 500 ms before the final power-on (which holds its pins
// 3500 ms apart).
TEST_F(RealWaits, FirmwareLoadPausesBeforeEachPowerUp) {
    UnitSpec spec;
    auto plugged = plugUnit(spec);
    const int unit = openWithPinsUp();
    const loadtest::Files files = loadtest::madeUpFiles("PIC18F4520", 40, 0x3800, 8);
    const auto start = Clock::now();
    const loadtest::Outcome out = loadtest::loadFiles(unit, files, 0x1087, "PIC18F4520");
    ASSERT_EQ(out.result, 1) << out.printed;
    EXPECT_GE(msSince(start), 500 + 500 + 3500);
    ZELCloseDevice(unit);
}

// While the unit still shows itself powered, the loader asks again every
// 100 ms, 32 times: here the boot-loader never switches off.
TEST_F(RealWaits, FirmwareRestartPollsATenthOfASecondApart) {
    UnitSpec spec;
    spec.applicationValid = false;
    auto plugged = plugUnit(spec);
    const int unit = openWithPinsUp(); // pin 5 up: no rising edge at the end
    const loadtest::Files files = loadtest::madeUpFiles("PIC18F4520", 40, 0x3800, 8);
    const auto start = Clock::now();
    const loadtest::Outcome out = loadtest::loadFiles(unit, files, 0x1087, "PIC18F4520");
    EXPECT_EQ(out.result, 0);
    EXPECT_GE(msSince(start), 32 * 100);
    ZELCloseDevice(unit);
}

TEST_F(RealWaits, EveryDirectoryWriteIsFollowedBy100ms) {
    UnitSpec spec;
    spec.kind = vunit::Kind::Packet; // powers up without the pin sequence
    auto plugged = plugUnit(spec);
    const int unit = openPowered();
    std::vector<_direntry> entries(23, _direntry{5u << 16, 0x14, 1, 1});
    const auto start = Clock::now();
    // Two blocks and their link, the marker, the old directory retired: five writes.
    ASSERT_EQ(ZELWriteDirectory(unit, 7, 0, entries.data(), 23), 1);
    EXPECT_GE(msSince(start), 500);
    ZELCloseDevice(unit);
}

} // namespace
