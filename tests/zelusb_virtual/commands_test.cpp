// Status, power, version and identification against virtual units.
#include "opened.h"

#include <cstring>

using namespace testunits;

namespace {

bool powered(int unit) {
    _ZEL_STATUS status{};
    EXPECT_EQ(ZELStatus(unit, &status), 1);
    return status.b[1] & 1;
}

TEST(Power, StreamUnitPinSequence) {
    Opened o({}, false);
    ASSERT_GE(o.unit, 0);
    _ZEL_STATUS status{};
    ASSERT_EQ(ZELStatus(o.unit, &status), 1);
    EXPECT_EQ(status.b[1] & 1, 0);
    EXPECT_EQ(status.b[2], 1); // USB firmware 1.3 of the stock unit
    EXPECT_EQ(status.b[3], 3);
    ASSERT_EQ(ZELPowerOn(o.unit), 1);
    EXPECT_TRUE(powered(o.unit));
    unsigned char major = 0, minor = 0, code = 0;
    ASSERT_EQ(ZELGetVersion(o.unit, major, minor, code), 1);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 29);
    EXPECT_EQ(code, 20);
    ASSERT_EQ(ZELPowerOff(o.unit), 1);
    EXPECT_FALSE(powered(o.unit));
}

TEST(Power, PacketUnitPowersByCommand) {
    UnitSpec spec;
    spec.kind = vunit::Kind::Packet;
    Opened o(spec, false);
    ASSERT_GE(o.unit, 0);
    _ZEL_STATUS status{};
    ASSERT_EQ(ZELStatus(o.unit, &status), 1);
    EXPECT_EQ(status.b[1], 0);
    EXPECT_EQ(status.b[2], 2);
    EXPECT_EQ(status.b[3], 0);
    ASSERT_EQ(ZELPowerOn(o.unit), 1);
    EXPECT_TRUE(powered(o.unit));
    EXPECT_EQ(ZELSetInterrupts(o.unit, 0), 1);
    EXPECT_EQ(ZELSetInterrupts(o.unit, 1), 1);
    ASSERT_EQ(ZELPowerOff(o.unit), 1);
    EXPECT_FALSE(powered(o.unit));
}

TEST(Power, FramedCommandsGoUnansweredWhileOff) {
    Opened o({}, false);
    unsigned char major, minor, code;
    EXPECT_EQ(ZELGetVersion(o.unit, major, minor, code), 0);
    EXPECT_EQ(lastError(o.unit), 0x17002000u);
}

TEST(Version, SectorMapOfOneChip) {
    UnitSpec spec;
    spec.chipCode = 19;
    Opened o(spec);
    unsigned char major, minor, code, map[256];
    unsigned short count = 0;
    unsigned int size = 0;
    ASSERT_EQ(ZELGetVersionExtended(o.unit, major, minor, code, count, size, map), 1);
    EXPECT_EQ(count, 16);
    EXPECT_EQ(size, 65536u);
    for (int s = 0; s < 256; ++s) EXPECT_EQ(map[s], s < 16 ? 1 : 0) << s;
}

TEST(Version, FourSlotUnit) {
    UnitSpec spec;
    spec.chipCode = 0xAA;
    spec.chips = {17, 17, 0, 21};
    Opened o(spec);
    unsigned char major = 0, minor = 0, code = 0, map[256];
    unsigned short count = 0;
    unsigned int size = 0;
    ASSERT_EQ(ZELGetVersionExtended(o.unit, major, minor, code, count, size, map), 1);
    EXPECT_EQ(count, 256);
    EXPECT_EQ(code, 21);
    for (int s = 0; s < 256; ++s) {
        const bool present = s < 4 || (s >= 64 && s < 68) || s >= 192;
        EXPECT_EQ(map[s], present ? 1 : 0) << s;
    }
    // Without a map the layout can't be given: 0, but the rest is filled.
    count = 0;
    EXPECT_EQ(ZELGetVersionExtended(o.unit, major, minor, code, count, size, nullptr), 0);
    EXPECT_EQ(count, 256);
    EXPECT_EQ(major, 1);
}

TEST(Identify, ApplicationUnitThatWasOff) {
    Opened o({}, false);
    unsigned char bootMode = 9, memoryCode = 0;
    unsigned short usb = 0, firmware = 0, cpu = 0;
    char name[16] = {};
    ASSERT_EQ(ZELInitDevice(o.unit, &bootMode, &usb, &firmware, &cpu, &memoryCode, name), 1);
    EXPECT_EQ(bootMode, 0);
    EXPECT_EQ(usb, 0x0103);
    EXPECT_EQ(firmware, 0x011D);
    EXPECT_EQ(cpu, 0x1087);
    EXPECT_EQ(memoryCode, 20);
    EXPECT_STREQ(name, "PIC18F4520");
    EXPECT_TRUE(powered(o.unit));
}

TEST(Identify, UnitInItsBootLoader) {
    UnitSpec spec;
    spec.applicationValid = false;
    spec.cpuId = 0x0E2A;
    Opened o(spec, false);
    unsigned char bootMode = 0, memoryCode = 0;
    unsigned short usb = 0, firmware = 7, cpu = 0;
    char name[16] = {};
    ASSERT_EQ(ZELInitDevice(o.unit, &bootMode, &usb, &firmware, &cpu, &memoryCode, name), 1);
    EXPECT_EQ(bootMode, 1);
    EXPECT_EQ(firmware, 0);
    EXPECT_EQ(cpu, 0x0E2A);
    EXPECT_STREQ(name, "PIC16F877A");
    unsigned short id = 0;
    EXPECT_EQ(ZELUnframedGetCPUid(o.unit, &id), 1);
    EXPECT_EQ(id, 0x0E2A);
    EXPECT_EQ(ZELUnframedSetCounter(o.unit, 0x1234), 1);
}

TEST(Identify, CpuIdOnlyForFirmwareThatReportsIt) {
    UnitSpec spec;
    spec.firmwareMajor = 99;
    spec.firmwareMinor = 3;
    Opened o(spec, false);
    unsigned char bootMode, memoryCode;
    unsigned short usb, firmware, cpu = 7;
    char name[16];
    ASSERT_EQ(ZELInitDevice(o.unit, &bootMode, &usb, &firmware, &cpu, &memoryCode, name), 1);
    EXPECT_EQ(firmware, 0x6303);
    EXPECT_EQ(cpu, 0);
    EXPECT_STREQ(name, "PIC16F877A"); // the name of id 0
}

TEST(Unframed, LengthRulesAndPacketUnits) {
    Opened stream;
    unsigned char request[8] = {};
    unsigned char response[8] = {};
    EXPECT_EQ(ZELDoUnframedTransaction(stream.unit, request, 8, response, 7, 0, 0), 0);
    EXPECT_EQ(lastError(stream.unit), 0x3000u);
    EXPECT_EQ(ZELDoUnframedTransaction(stream.unit, request, 7, response, 8, 0, 0), 0);
    EXPECT_EQ(lastError(stream.unit), 0x3001u);
    // The application ignores raw reports: no answer.
    EXPECT_EQ(ZELUnframedSetCounter(stream.unit, 0), 0);
    EXPECT_EQ(lastError(stream.unit), 0x2000u);

    UnitSpec spec;
    spec.kind = vunit::Kind::Packet;
    Opened packet(spec);
    uint32_t detail = 0;
    const uint32_t before = lastError(packet.unit, &detail);
    unsigned short id = 0;
    EXPECT_EQ(ZELUnframedGetCPUid(packet.unit, &id), 0);
    EXPECT_EQ(lastError(packet.unit), before);
}

TEST(Wire, ShortCommandIsOneEightByteReport) {
    UnitSpec spec;
    spec.trace = true;
    Opened o(spec);
    unsigned char major, minor, code;
    ASSERT_EQ(ZELGetVersion(o.unit, major, minor, code), 1);
    // Off Windows the host picks the smallest report that fits.
#if !defined(_WIN32)
    EXPECT_NE(o.plugged->trace().find("OUT 10 02 0D 04 00 00 00 03 [+313]"), std::string::npos);
#else
    EXPECT_NE(o.plugged->trace().find("OUT 13 02 0D 04"), std::string::npos);
#endif
}

} // namespace
