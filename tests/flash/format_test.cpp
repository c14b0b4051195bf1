// The directory's bytes and the rotation rules, without a unit.
#include "flash/directory_format.h"
#include "flash/rotation.h"

#include <gtest/gtest.h>

#include <array>

using namespace zel;

namespace {

_direntry entry(int sector, uint32_t offset, uint8_t type, uint32_t id, uint16_t size) {
    return {sectorAddress(sector) + offset, type, id, size};
}

std::vector<_direntry> numbered(size_t n, int sector = 3) {
    std::vector<_direntry> out;
    for (size_t i = 0; i < n; ++i) out.push_back(entry(sector, static_cast<uint32_t>(i * 10), 0x14, 100 + uint32_t(i), 10));
    return out;
}

TEST(DirectorySize, GrowsByBlocksBelowTheTop) {
    EXPECT_EQ(DirectorySize(0), 256u);
    EXPECT_EQ(DirectorySize(22), 256u);
    EXPECT_EQ(DirectorySize(23), 278u);
    EXPECT_EQ(DirectorySize(44), 509u);
    EXPECT_EQ(DirectorySize(45), 534u);
    EXPECT_EQ(DirectorySize(256), 256u * 11 + 11u * 14 + 11);
}

TEST(EntryCodec, ElevenLittleEndianBytes) {
    const _direntry e{0x00050120, 0x60, 0x12345678, 0xBEEF};
    uint8_t b[11];
    encodeEntry(e, b);
    EXPECT_EQ((std::vector<uint8_t>(b, b + 11)),
              (std::vector<uint8_t>{0x20, 0x01, 0x05, 0x00, 0x60, 0x78, 0x56, 0x34, 0x12, 0xEF, 0xBE}));
    const _direntry back = decodeEntry(b);
    EXPECT_EQ(+back.address, +e.address);
    EXPECT_EQ(back.type, e.type);
    EXPECT_EQ(+back.id, +e.id);
    EXPECT_EQ(+back.size, +e.size);
}

// Block starts and what each write covers, for directories of n entries.
std::vector<uint32_t> writeAddresses(size_t n) {
    std::vector<uint32_t> out;
    const auto entries = numbered(n);
    for (const FlashWrite& w : encodeDirectory(7, entries.data(), n)) out.push_back(w.address);
    return out;
}

TEST(DirectoryWrites, EmptyDirectoryIsTheMarkerAlone) {
    const auto writes = encodeDirectory(7, nullptr, 0);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(+writes[0].address, 0x7FFFFu);
    EXPECT_EQ(writes[0].bytes, std::vector<uint8_t>{0x55});
}

TEST(DirectoryWrites, TwentyTwoEntriesFillOneBlock) {
    EXPECT_EQ(writeAddresses(22), (std::vector<uint32_t>{0x7FF00, 0x7FFFF}));
}

TEST(DirectoryWrites, TwentyThirdEntryGoesToASmallBlockJustBelow) {
    // 22 entries, the link after them, then one entry 22 bytes below the first block.
    EXPECT_EQ(writeAddresses(23), (std::vector<uint32_t>{0x7FF00, 0x7FF00 + 242, 0x7FF00 - 22, 0x7FFFF}));
    const auto entries = numbered(23);
    const auto writes = encodeDirectory(7, entries.data(), 23);
    EXPECT_EQ(writes[1].bytes, (std::vector<uint8_t>{0xEA, 0xFE, 0x07, 0x00}));
    EXPECT_EQ(0x10000 - (0xFF00 - 22), 278); // exactly the directory size
}

TEST(DirectoryWrites, FortyFiveEntriesMakeBlocksOf22And22And1) {
    EXPECT_EQ(writeAddresses(45), (std::vector<uint32_t>{0x7FF00, 0x7FF00 + 242, 0x7FE00, 0x7FE00 + 242, 0x7FE00 - 22,
                                                         0x7FFFF}));
    EXPECT_EQ(0x10000u - (0xFE00 - 22), DirectorySize(45));
}

// The bytes of a sector's top after the writes of encodeDirectory.
std::vector<uint8_t> sectorTop(const std::vector<_direntry>& entries) {
    std::vector<uint8_t> sector(0x10000, 0xFF);
    for (const FlashWrite& w : encodeDirectory(0, entries.data(), entries.size()))
        for (size_t i = 0; i < w.bytes.size(); ++i) sector[w.address + i] &= w.bytes[i];
    return sector;
}

std::vector<_direntry> readBack(const std::vector<uint8_t>& sector, int room, BlockEnd* last = nullptr) {
    std::vector<_direntry> out(static_cast<size_t>(room));
    int count = 0;
    uint32_t block = kFirstBlockOffset;
    for (int blocks = 0; blocks <= room; ++blocks) {
        const DecodedBlock b = decodeBlock(sector.data() + block, kBlockBytes, out.data(), count, room);
        if (last) *last = b.end;
        if (b.end != BlockEnd::Linked) break;
        block = b.next;
    }
    out.resize(static_cast<size_t>(count));
    return out;
}

TEST(DirectoryBlocks, ReadBackInTheOrderWritten) {
    for (size_t n : {0u, 1u, 22u, 23u, 44u, 45u, 200u}) {
        const auto entries = numbered(n);
        BlockEnd end{};
        const auto back = readBack(sectorTop(entries), 256, &end);
        EXPECT_EQ(end, BlockEnd::Last) << n;
        ASSERT_EQ(back.size(), n);
        for (size_t i = 0; i < n; ++i) EXPECT_EQ(+back[i].id, +entries[i].id) << n;
    }
}

TEST(DirectoryBlocks, NoEndSlotWithinTheBlockIsDamage) {
    std::vector<uint8_t> block(kBlockBytes, 0x00); // 23 slots of type 0
    std::vector<_direntry> out(256);
    int count = 0;
    EXPECT_EQ(decodeBlock(block.data(), block.size(), out.data(), count, 256).end, BlockEnd::Overfull);
    EXPECT_EQ(count, 23); // what was met stays, as a reader leaves it
}

TEST(DirectoryBlocks, NeverWritesPastTheRoom) {
    const auto sector = sectorTop(numbered(30));
    std::vector<_direntry> out(10);
    int count = 0;
    EXPECT_EQ(decodeBlock(sector.data() + kFirstBlockOffset, kBlockBytes, out.data(), count, 10).end, BlockEnd::NoRoom);
    EXPECT_EQ(count, 10);
}

std::array<uint8_t, 256> presentMap(int n) {
    std::array<uint8_t, 256> m{};
    for (int s = 0; s < n; ++s) m[static_cast<size_t>(s)] = 1;
    return m;
}

TEST(SpareSector, LowestFreePresentSectorNotTheDirectory) {
    auto map = presentMap(8);
    std::vector<_direntry> e{entry(0, 0, 0x14, 1, 10), entry(2, 0, 0x00, 2, 10)}; // a dead entry takes its sector too
    EXPECT_EQ(FindSpareSector(e.data(), e.size(), 8, 0, map.data()), 1);
    EXPECT_EQ(FindSpareSector(e.data(), e.size(), 8, 1, map.data()), 3); // never the directory sector, even empty
    map[1] = 0;
    EXPECT_EQ(FindSpareSector(e.data(), e.size(), 8, 0, map.data()), 3); // absent sectors are skipped
    EXPECT_EQ(FindSpareSector(nullptr, 0, 8, -1, map.data()), 0);
}

TEST(SpareSector, NoneWhenEverySectorIsTakenOrAnEntryPointsOutside) {
    const auto map = presentMap(4);
    std::vector<_direntry> e{entry(1, 0, 0x14, 1, 10), entry(2, 0, 0x14, 2, 10), entry(3, 0, 0x14, 3, 10)};
    EXPECT_EQ(FindSpareSector(e.data(), e.size(), 4, 0, map.data()), -1);
    std::vector<_direntry> outside{entry(9, 0, 0x14, 1, 10)};
    EXPECT_EQ(FindSpareSector(outside.data(), 1, 4, 0, map.data()), -1);
}

TEST(Rotation, MovedItemsArePackedFromOffsetZeroInListOrder) {
    std::vector<_direntry> list{entry(4, 100, 0x14, 1, 30), entry(5, 0, 0x14, 2, 40), entry(4, 0, 0x14, 3, 50)};
    const Rotation r = planRotation(list, 9, [](const _direntry& e) { return sectorOf(e.address) == 4; });
    ASSERT_EQ(r.copies.size(), 2u);
    EXPECT_EQ(r.copies[0].from, sectorAddress(4) + 100);
    EXPECT_EQ(r.copies[0].to, sectorAddress(9));
    EXPECT_EQ(r.copies[1].to, sectorAddress(9) + 30);
    EXPECT_EQ(r.nextFree, 80u);
    EXPECT_EQ(+r.list[1].address, sectorAddress(5)); // the others stay put
    EXPECT_EQ(+r.list[2].address, sectorAddress(9) + 30);
}

TEST(Rotation, RoomForTheItemsAndAWholeDirectory) {
    EXPECT_TRUE(roomFor(0x10000 - 256, 22, 0));
    EXPECT_FALSE(roomFor(0x10000 - 256, 23, 0));
    EXPECT_TRUE(roomFor(0x10000 - 278 - 100, 23, 100));
    EXPECT_FALSE(roomFor(0x10000 - 278 - 100, 23, 101));
    EXPECT_FALSE(roomFor(0x10000 + 5, 1, 0)); // already past the end: no wrap-around
}

} // namespace
