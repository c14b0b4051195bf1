// The directory as laid into a sector, checked byte for byte against the
// block rules, and read back.
#include "vfactory/directory.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using vfactory::DirEntry;

// Entries whose bytes are never 0xFF, so the lowest written byte shows how
// far down the directory reaches.
std::vector<DirEntry> entries(std::size_t n) {
    std::vector<DirEntry> list;
    for (std::size_t i = 0; i < n; ++i)
        list.push_back({static_cast<uint32_t>(0x00010000 + i * 16), 0x14, static_cast<uint32_t>(1000 + i),
                        static_cast<uint16_t>(100 + i)});
    return list;
}

uint32_t le32(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
}

std::vector<uint8_t> erased() { return std::vector<uint8_t>(vunit::kSectorSize, 0xFF); }

vunit::Storage storageWith(int sectors) {
    vunit::Storage st;
    for (int s = 0; s < sectors; ++s) st.sectors[static_cast<std::size_t>(s)] = erased();
    return st;
}

std::array<uint8_t, vunit::kMaxSectors> mapOf(int sectors) {
    std::array<uint8_t, vunit::kMaxSectors> map{};
    for (int s = 0; s < sectors; ++s) map[static_cast<std::size_t>(s)] = 1;
    return map;
}

TEST(DirectoryLayout, SizeTakenFromTheTopOfTheSector) {
    const std::pair<std::size_t, uint32_t> known[] = {{0, 256}, {1, 256}, {22, 256}, {23, 278},
                                                      {44, 509}, {45, 534}, {66, 765}, {67, 790}};
    for (const auto& [n, size] : known) EXPECT_EQ(vfactory::directorySize(n), size) << n << " entries";

    for (std::size_t n = 23; n <= 120; ++n) {
        std::vector<uint8_t> sector = erased();
        vfactory::writeDirectory(sector, 4, entries(n));
        const auto lowest = std::find_if(sector.begin(), sector.end(), [](uint8_t b) { return b != 0xFF; }) - sector.begin();
        EXPECT_EQ(vunit::kSectorSize - static_cast<uint32_t>(lowest), vfactory::directorySize(n)) << n << " entries";
    }
}

TEST(DirectoryLayout, FortyFiveEntriesMakeBlocksOf22And22And1) {
    const auto list = entries(45);
    std::vector<uint8_t> sector = erased();
    vfactory::writeDirectory(sector, 3, list);

    EXPECT_EQ(sector[0xFFFF], 0x55);
    EXPECT_EQ(sector[0xFFFE], 0xFF);
    EXPECT_EQ(sector[0xFFFD], 0xFF);
    const std::size_t blocks[] = {0xFF00, 0xFE00, 0xFDEA};
    const std::size_t counts[] = {22, 22, 1};
    std::size_t i = 0;
    for (int b = 0; b < 3; ++b) {
        for (std::size_t k = 0; k < counts[b]; ++k, ++i) {
            const std::size_t at = blocks[b] + 11 * k;
            EXPECT_EQ(le32(sector, at), list[i].address) << "entry " << i;
            EXPECT_EQ(sector[at + 4], list[i].type);
            EXPECT_EQ(le32(sector, at + 5), list[i].id);
            EXPECT_EQ(sector[at + 9] | sector[at + 10] << 8, list[i].size);
        }
        const std::size_t endSlot = blocks[b] + 11 * counts[b];
        const uint32_t link = b < 2 ? (3u << 16 | static_cast<uint32_t>(blocks[b + 1])) : 0xFFFFFFFFu;
        EXPECT_EQ(le32(sector, endSlot), link) << "block " << b;
        EXPECT_EQ(sector[endSlot + 4], 0xFF) << "block " << b;
    }
}

TEST(DirectoryLayout, TwentyThirdEntryGoesToASmallBlockJustBelow) {
    std::vector<uint8_t> sector = erased();
    vfactory::writeDirectory(sector, 0, entries(23));
    EXPECT_EQ(le32(sector, 0xFFF2), 0xFEEAu); // 22 bytes below: one entry and its end slot
    EXPECT_EQ(le32(sector, 0xFEEA + 5), 1022u);
    EXPECT_EQ(le32(sector, 0xFEF5), 0xFFFFFFFFu);
    EXPECT_EQ(sector[0xFEE9], 0xFF);

    std::vector<uint8_t> empty = erased();
    vfactory::writeDirectory(empty, 0, {});
    EXPECT_EQ(empty[0xFF04], 0xFF); // first slot ends the list at once
    EXPECT_EQ(empty[0xFFFF], 0x55);
}

TEST(DirectoryLayout, WriterRefusesWhatCannotBeStored) {
    std::vector<uint8_t> sector = erased();
    auto list = entries(3);
    list[1].type = 0xFF;
    EXPECT_THROW(vfactory::writeDirectory(sector, 0, list), std::invalid_argument);
    EXPECT_THROW(vfactory::writeDirectory(sector, 0, entries(6000)), std::invalid_argument);
}

TEST(DirectoryReader, ReadsBackWhatWasWrittenInOrder) {
    for (std::size_t n : {0, 1, 21, 22, 23, 44, 45, 66, 67, 200}) {
        vunit::Storage st = storageWith(8);
        vfactory::writeDirectory(st.sectors[5], 5, entries(n));
        const auto dir = vfactory::readDirectory(st, mapOf(8), 8);
        ASSERT_TRUE(dir) << n;
        EXPECT_EQ(dir->sector, 5);
        EXPECT_EQ(dir->entries, entries(n)) << n << " entries";
    }
}

TEST(DirectoryReader, TakesTheLowestValidPresentSector) {
    vunit::Storage st = storageWith(8);
    EXPECT_FALSE(vfactory::readDirectory(st, mapOf(8), 8));

    vfactory::writeDirectory(st.sectors[6], 6, entries(2));
    vfactory::writeDirectory(st.sectors[4], 4, entries(3));
    vfactory::writeDirectory(st.sectors[2], 2, entries(4));
    st.sectors[2][0xFFFE] = 0x00; // retired
    EXPECT_EQ(vfactory::readDirectory(st, mapOf(8), 8)->sector, 4);

    auto map = mapOf(8);
    map[4] = 0; // absent sectors are never looked at
    EXPECT_EQ(vfactory::readDirectory(st, map, 8)->sector, 6);
    EXPECT_FALSE(vfactory::readDirectory(st, mapOf(8), 4)); // nor those past the count
}

TEST(DirectoryReader, DamagedChainsAreReportedNotFollowedForever) {
    vunit::Storage st = storageWith(4);
    vfactory::writeDirectory(st.sectors[1], 1, entries(23));
    st.sectors[1][0xFFF2 + 4] = 0x14; // end slot of the first block now reads as a 23rd entry
    EXPECT_THROW(vfactory::readDirectory(st, mapOf(4), 4), std::runtime_error);

    vfactory::writeDirectory(st.sectors[1], 1, entries(23));
    st.sectors[1][0xFFF2 + 2] = 9; // link into sector 9, absent
    EXPECT_THROW(vfactory::readDirectory(st, mapOf(4), 4), std::runtime_error);

    vfactory::writeDirectory(st.sectors[1], 1, entries(23));
    st.sectors[1][0xFEF5] = 0x00; // second block links back to the first
    st.sectors[1][0xFEF6] = 0xFF;
    st.sectors[1][0xFEF7] = 0x01;
    st.sectors[1][0xFEF8] = 0x00;
    EXPECT_THROW(vfactory::readDirectory(st, mapOf(4), 4), std::runtime_error);
}

} // namespace
