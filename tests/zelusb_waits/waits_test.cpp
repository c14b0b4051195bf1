// The protocol's fixed waits at their real length: a unit needs them, so the
// default clock must never cut them short. Each kind of wait once.
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
