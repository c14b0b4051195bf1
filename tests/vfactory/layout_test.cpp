// Units laid out from descriptions: items packed from offset 0 in their
// sector and never across it, the directory's room kept, the EEPROM map.
#include "vfactory/layout.h"

#include <gtest/gtest.h>

namespace {

using vfactory::DirEntry;
using vfactory::Item;

std::vector<uint8_t> filled(std::size_t n, uint8_t value) { return std::vector<uint8_t>(n, value); }

vfactory::UnitDescription bare(uint8_t chip = 18) {
    vfactory::UnitDescription d;
    d.identity.chipCode = chip;
    return d;
}

TEST(Layout, StockUnitHasSoundsAndDirectoryInSectorZero) {
    const vfactory::UnitDescription d = vfactory::defaultDescription();
    EXPECT_EQ(d.identity.kind, vunit::Kind::Stream);
    EXPECT_EQ(d.identity.cpuId, 0x1087);
    EXPECT_EQ(vunit::sectorCountOf(d.identity), 32);
    const vunit::Storage st = vfactory::buildUnit(d);

    const auto dir = vfactory::readDirectory(st, d.identity);
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->sector, 0);
    ASSERT_EQ(dir->entries.size(), 3u);
    uint32_t offset = 0, total = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const DirEntry& e = dir->entries[i];
        EXPECT_EQ(e.type, vfactory::kSoundType);
        EXPECT_EQ(e.address, offset) << "packed from offset 0 in directory order";
        EXPECT_TRUE(std::equal(d.items[i].contents.begin(), d.items[i].contents.end(), st.sectors[0].begin() + offset));
        offset += e.size;
        total += e.size;
    }
    EXPECT_EQ(total, 20000u);

    // Family word, serial, volume low, 30-minute battery saver, little-endian.
    EXPECT_EQ(st.eeprom[0], 0x00);
    EXPECT_EQ(st.eeprom[1], 0x81);
    EXPECT_EQ(st.eeprom[2] | st.eeprom[3] << 8 | st.eeprom[4] << 16 | st.eeprom[5] << 24, 1001);
    EXPECT_EQ(st.eeprom[6], 1);
    EXPECT_EQ(st.eeprom[45] | st.eeprom[46] << 8, 1800);
    const vfactory::EepromSettings back = vfactory::readEepromSettings(st.eeprom);
    EXPECT_EQ(back.family, 0x8100);
    EXPECT_EQ(back.serial, 1001u);
}

TEST(Layout, ItemsNeverCrossASectorAndLeaveTheDirectoryItsRoom) {
    vfactory::UnitDescription d = bare();
    const std::size_t sizes[] = {40000, 30000, 30000, 65535, 25000, 5000};
    for (std::size_t i = 0; i < 6; ++i)
        d.items.push_back({0x01, static_cast<uint32_t>(i + 1), filled(sizes[i], static_cast<uint8_t>(i + 2)), -1});
    const vunit::Storage st = vfactory::buildUnit(d);
    const auto dir = vfactory::readDirectory(st, d.identity);
    ASSERT_TRUE(dir);
    ASSERT_EQ(dir->entries.size(), 6u);
    // First fit in sector order; sector 0 keeps 256 bytes for the directory.
    const uint32_t expected[] = {0x00000000, 0x00010000, 0x00017530, 0x00020000, 0x00009C40, 0x0001EA60};
    for (std::size_t i = 0; i < 6; ++i) {
        const DirEntry& e = dir->entries[i];
        EXPECT_EQ(e.address, expected[i]) << "item " << i;
        const uint32_t end = vfactory::offsetOf(e.address) + e.size;
        EXPECT_LE(end, vunit::kSectorSize - (vfactory::sectorOf(e.address) == dir->sector ? 256u : 0u));
        EXPECT_EQ(st.sectors[static_cast<std::size_t>(vfactory::sectorOf(e.address))][vfactory::offsetOf(e.address)],
                  static_cast<uint8_t>(i + 2));
    }
}

TEST(Layout, ChosenSectorsAndTheDirectoryReserveAreExact) {
    // 45 entries need 534 bytes: the directory sector's items may fill all but that.
    vfactory::UnitDescription d = bare();
    d.directorySector = 2;
    d.items.push_back({0x01, 1, filled(65536 - 534 - 44 * 10, 0x11), 2});
    for (uint32_t i = 0; i < 44; ++i) d.items.push_back({0x14, 100 + i, filled(10, 0x22), 2});
    const vunit::Storage st = vfactory::buildUnit(d);
    const auto dir = vfactory::readDirectory(st, d.identity);
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->sector, 2);
    EXPECT_EQ(dir->entries.size(), 45u);
    EXPECT_EQ(vfactory::offsetOf(dir->entries.back().address) + dir->entries.back().size, 65536u - 534u);

    d.items.front().contents.push_back(0x11); // one byte too many
    EXPECT_THROW(vfactory::buildUnit(d), std::invalid_argument);
    d.items.front().contents.pop_back();
    d.items.front().sector = 8; // a 8-sector unit has no sector 8
    EXPECT_THROW(vfactory::buildUnit(d), std::invalid_argument);
}

TEST(Layout, FourSlotUnitsUseOnlyPresentSectors) {
    vfactory::UnitDescription d;
    d.identity.chipCode = 0xAA;
    d.identity.chips = {0, 17, 0, 0}; // sectors 64-67 only
    d.items.push_back({0x14, 1, filled(60000, 1), -1});
    d.items.push_back({0x14, 2, filled(60000, 2), -1});
    const vunit::Storage st = vfactory::buildUnit(d);
    const auto dir = vfactory::readDirectory(st, d.identity);
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->sector, 64);
    EXPECT_EQ(dir->entries[0].address, 0x00400000u);
    EXPECT_EQ(dir->entries[1].address, 0x00410000u);

    const auto use = vfactory::sectorUse(d.identity, &*dir);
    ASSERT_EQ(use.size(), 4u);
    EXPECT_EQ(use[0].sector, 64);
    EXPECT_EQ(use[0].free(), 65536u - 60000u - 256u);
    EXPECT_EQ(use[1].free(), 65536u - 60000u);
    EXPECT_EQ(use[3].free(), 65536u);
}

} // namespace
