// The application's version, EEPROM, memory and mode commands.
#include "host.h"

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

Bytes copyRequest(uint32_t source, uint32_t dest, uint16_t count) {
    return {0x15,
            static_cast<uint8_t>(source >> 16),
            static_cast<uint8_t>(source),
            static_cast<uint8_t>(source >> 8),
            static_cast<uint8_t>(dest >> 16),
            static_cast<uint8_t>(dest),
            static_cast<uint8_t>(dest >> 8),
            static_cast<uint8_t>(count),
            static_cast<uint8_t>(count >> 8)};
}

Bytes readBytes(Host& h, uint32_t address, uint16_t n) {
    const auto a = transact(h, readMemoryRequest(address, n));
    if (!a || a->empty() || (*a)[0] != 6) return {};
    return Bytes(a->begin() + 1, a->end());
}

} // namespace

TEST(Commands, VersionRecordAndSectorMapOfFourSlotUnit) {
    vunit::Identity id = streamIdentity(0x0E2A, 0xAA);
    id.chips = {17, 17, 0, 21};
    id.firmwareMajor = 0x63;
    id.firmwareMinor = 0x03;
    Host h;
    auto u = poweredUnit(id, h);
    EXPECT_EQ(transact(h, {0x0D}), (Bytes{0x08, 0x63, 0x03, 0xAA, 0x2A, 0x0E, 17, 17, 0, 21}));

    const auto map = vunit::sectorMapOf(id);
    EXPECT_EQ(vunit::sectorCountOf(id), 256);
    EXPECT_EQ(std::count(map.begin(), map.end(), 1), 4 + 4 + 64);
    // Present: 0-3, 64-67, 192-255; everything else is refused.
    EXPECT_EQ(readBytes(h, 0x030000 + 0xFFFE, 2), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(readBytes(h, 0x430000, 1), Bytes{0xFF});
    EXPECT_EQ(readBytes(h, 0xFF0000 + 0xFFFF, 1), Bytes{0xFF});
    EXPECT_EQ(transact(h, readMemoryRequest(0x040000, 1)), Bytes{0x00});
    EXPECT_EQ(transact(h, readMemoryRequest(0x03FFFF, 2)), Bytes{0x00}); // runs into sector 4
    EXPECT_EQ(transact(h, readMemoryRequest(0x800000, 1)), Bytes{0x00});
    EXPECT_EQ(transact(h, addressRequest(0x13, 0x440000)), Bytes{0x00});
    EXPECT_EQ(transact(h, writeMemoryRequest(0x900000, {1})), Bytes{0x00});
}

TEST(Commands, SingleChipVersionRecordHasSixBytes) {
    vunit::Identity id = packetIdentity(0x1200, 19);
    Host h;
    auto u = poweredUnit(id, h);
    EXPECT_EQ(transact(h, {0x0D}), (Bytes{0x08, 1, 29, 19, 0x00, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(vunit::sectorCountOf(id), 16);
    EXPECT_EQ(head(transact(h, readMemoryRequest(0x0FFFFF, 1)), 3), (Bytes{0x06, 0xFF, 0x00}));
    EXPECT_EQ(head(transact(h, readMemoryRequest(0x100000, 1)), 1), Bytes{0x00});
}

TEST(Commands, EepromReadsAndWritesWithinItsSize) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    EXPECT_EQ(transact(h, {0x08, 250, 1, 2, 3, 4, 5, 6}), Bytes{0x01});
    EXPECT_EQ(transact(h, {0x09, 249, 7}), (Bytes{0x07, 0xFF, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(transact(h, {0x08, 251, 1, 2, 3, 4, 5, 6}), Bytes{0x00});
    EXPECT_EQ(transact(h, {0x09, 255, 2}), Bytes{0x00});
    EXPECT_EQ(transact(h, {0x09, 0, 0}), Bytes{0x07});
    EXPECT_EQ(transact(h, {0x08, 0}), Bytes{0x01});
    EXPECT_EQ(transact(h, {0x09, 0}), Bytes{0x00});
    // Escaped bytes in both directions.
    EXPECT_EQ(transact(h, {0x08, 0x10, 0x02, 0x03, 0x04, 0x10}), Bytes{0x01});
    EXPECT_EQ(transact(h, {0x09, 0x10, 4}), (Bytes{0x07, 0x02, 0x03, 0x04, 0x10}));
}

TEST(Commands, FlashBehavesLikeNor) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    ASSERT_EQ(transact(h, writeMemoryRequest(0x10005, {0xF0, 0x3C})), Bytes{0x01});
    ASSERT_EQ(transact(h, writeMemoryRequest(0x10005, {0x0F, 0xFF})), Bytes{0x01});
    EXPECT_EQ(readBytes(h, 0x10004, 4), (Bytes{0xFF, 0x00, 0x3C, 0xFF}));

    // Copy programs the destination the same way.
    ASSERT_EQ(transact(h, writeMemoryRequest(0x20000, {0x55, 0xAA, 0x0F})), Bytes{0x01});
    ASSERT_EQ(transact(h, writeMemoryRequest(0x30010, {0xF0, 0xFF})), Bytes{0x01});
    EXPECT_EQ(transact(h, copyRequest(0x20000, 0x30010, 3)), Bytes{0x01});
    EXPECT_EQ(readBytes(h, 0x30010, 3), (Bytes{0x50, 0xAA, 0x0F}));
    EXPECT_EQ(readBytes(h, 0x20000, 3), (Bytes{0x55, 0xAA, 0x0F}));
    EXPECT_EQ(transact(h, copyRequest(0x20000, 0x30000, 0)), Bytes{0x01});
    EXPECT_EQ(transact(h, copyRequest(0x20000, 0x7FFFF, 2)), Bytes{0x00}); // past the last sector
    EXPECT_EQ(transact(h, {0x15, 0}), Bytes{0x00});

    // Erase: the whole sector, whatever address in it; no erase still running.
    ASSERT_EQ(transact(h, addressRequest(0x13, 0x10123)), Bytes{0x01});
    EXPECT_EQ(transact(h, addressRequest(0x23, 0x10000)), Bytes{0x01});
    EXPECT_EQ(readBytes(h, 0x10004, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(readBytes(h, 0x20000, 1), Bytes{0x55});
    EXPECT_EQ(transact(h, addressRequest(0x13, 0x80000)), Bytes{0x00}); // 8 sectors only
}

TEST(Commands, StreamReadsAreCappedAndNeverLonger) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    EXPECT_EQ(readBytes(h, 0, 253).size(), 253u);
    EXPECT_EQ(readBytes(h, 0, 256).size(), 256u);
    EXPECT_EQ(readBytes(h, 0, 300).size(), 256u); // short reply
    EXPECT_EQ(transact(h, readMemoryRequest(0, 0)), Bytes{0x06});
    EXPECT_EQ(transact(h, readMemoryRequest(0x7FFF0, 17)), Bytes{0x00});
    EXPECT_EQ(readBytes(h, 0x7FFF0, 16).size(), 16u);
    EXPECT_EQ(transact(h, {0x12, 0, 0, 0, 0, 1}), Bytes{0x00});
}

TEST(Commands, ModesAndUnknownCommands) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    EXPECT_EQ(transact(h, {0x0A}), Bytes{0x01});
    EXPECT_EQ((*status(h))[0], 0x06);
    EXPECT_EQ(transact(h, {0x1D, 1}), Bytes{0x05}); // interrupts off
    EXPECT_EQ((*status(h))[0], 0x0E);
    EXPECT_EQ(transact(h, {0x0B}), Bytes{0x01});
    EXPECT_EQ(transact(h, {0x1D, 0}), Bytes{0x01});
    EXPECT_EQ((*status(h))[0], 0x02);
    EXPECT_EQ(transact(h, {0x1D, 4}), Bytes{0x00}); // packet units only
    EXPECT_EQ(transact(h, {0x22}), Bytes{0x00});
    EXPECT_EQ(transact(h, {0x0A, 0}), Bytes{0x00});
    EXPECT_EQ(transact(h, {0x0F, 0}), Bytes{0x00});
    EXPECT_EQ(transact(h, {0xFF}), Bytes{0x00});
    EXPECT_EQ(transact(h, {0x13, 0, 0, 0}), Bytes{0x00});

    Host p;
    auto pu = poweredUnit(packetIdentity(), p);
    EXPECT_EQ(head(transact(p, {0x0A}), 1), Bytes{0x01});
    EXPECT_EQ(head(transact(p, {0x1D, 1}), 1), Bytes{0x05});
    // Powered, APPLICATION, download mode, interrupts off.
    EXPECT_EQ(head(transact(p, {0x22}), 2), (Bytes{0x01, 0x1D}));
}
