// Finding, reading, writing and printing the directory on virtual units; the
// library and the unit's own reader must agree on every byte.
#include "flash_units.h"

#include "flash/directory_format.h"
#include "vfactory/layout.h"

using namespace flashtest;

namespace {

vunit::Identity identityOf(uint8_t chip = 20, std::array<uint8_t, 4> chips = {}) {
    return flashtest::identityOf(vunit::Kind::Packet, chip, chips);
}

std::vector<_direntry> entries(size_t n) {
    std::vector<_direntry> out;
    for (size_t i = 0; i < n; ++i)
        out.push_back({zel::sectorAddress(1) + static_cast<uint32_t>(i * 3), 0x14, 500 + static_cast<uint32_t>(i), 3});
    return out;
}

TEST(DirectoryRead, NoDirectoryLeavesCountAlone) {
    Layout l;
    l.directory = false;
    FlashUnit u(l);
    int sector = -5, count = 77;
    unsigned short sectors = 0;
    _direntry room[256];
    EXPECT_EQ(ZELReadDirectory(u.unit, sector, sectors, room, count), 0);
    EXPECT_EQ(sectors, 32);
    EXPECT_EQ(sector, 32);
    EXPECT_EQ(count, 77);
}

TEST(DirectoryRead, EmptyDirectoryIsTheMarkerAlone) {
    Layout l;
    l.directorySector = 3;
    FlashUnit u(l);
    const Listing d = readListing(u.unit);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.directorySector, 3);
    EXPECT_TRUE(d.entries.empty());
}

TEST(DirectoryRead, RetiredSectorsAreSkippedAndTheLowestValidWins) {
    Layout l;
    l.items = {item(0x14, 1, 100), item(0x14, 2, 200)};
    l.directorySector = 4;
    Laid laid = layOut(l);
    vunit::Storage& s = laid.storage;
    // Sector 1: retired. Sector 6: a valid stray, above the directory.
    vfactory::writeDirectory(s.sectors[1], 1, {});
    s.sectors[1][0xFFFE] = 0x00;
    vfactory::writeDirectory(s.sectors[6], 6, {{zel::sectorAddress(0), 0x14, 9, 1}});
    FlashUnit u(laid);
    const Listing d = readListing(u.unit);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.directorySector, 4);
    ASSERT_EQ(d.entries.size(), 2u);
    EXPECT_EQ(+d.entries[1].id, 2u);
}

TEST(DirectoryRead, AbsentSectorsAreNeverProbed) {
    // Slots 1 and 3 are empty; the unit refuses any read there, so a single
    // probe would fail the read.
    const auto id = identityOf(0xAA, {17, 0, 18, 0});
    vunit::Storage s = vunit::blankStorage(id);
    {
        FlashUnit u(id, s);
        Listing d = readListing(u.unit);
        EXPECT_EQ(d.result, 0);
        EXPECT_EQ(d.sectorCount, 256);
        EXPECT_EQ(d.directorySector, 256);
    }
    // With a directory in the third slot.
    vfactory::writeDirectory(s.sectors[130], 130, {{zel::sectorAddress(128), 0x14, 1, 10}});
    FlashUnit v(id, s);
    const Listing d = readListing(v.unit);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.directorySector, 130);
}

TEST(DirectoryWrite, BlocksAgreeWithTheUnitsOwnLayout) {
    for (size_t n : {22u, 23u, 45u, 256u}) {
        const auto id = identityOf();
        FlashUnit u(id, vunit::blankStorage(id));
        auto list = entries(n);
        ASSERT_EQ(ZELWriteDirectory(u.unit, 5, -1, list.data(), static_cast<int>(n)), 1) << n;
        const Listing d = readListing(u.unit);
        ASSERT_EQ(d.result, 1);
        EXPECT_EQ(d.directorySector, 5);
        ASSERT_EQ(d.entries.size(), n);
        for (size_t i = 0; i < n; ++i) EXPECT_TRUE(sameEntry(d.entries[i], list[i])) << n << " " << i;
        // Byte for byte what the factory lays out for the same entries.
        std::vector<uint8_t> expected(0x10000, 0xFF);
        std::vector<vfactory::DirEntry> same;
        for (const _direntry& e : list) same.push_back({e.address, e.type, e.id, e.size});
        vfactory::writeDirectory(expected, 5, same);
        EXPECT_EQ(u.stored().sectors[5], expected) << n;
    }
}

TEST(DirectoryWrite, MarksTheNewOneThenRetiresTheOld) {
    Layout l;
    l.items = {item(0x14, 1, 100)};
    FlashUnit u(l);
    auto list = readListing(u.unit).entries;
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(ZELWriteDirectory(u.unit, 9, 0, list.data(), 1), 1);
    const vunit::Storage s = u.stored();
    EXPECT_EQ(s.sectors[0][0xFFFE], 0x00);
    EXPECT_EQ(s.sectors[0][0xFFFF], 0x55);
    EXPECT_EQ(s.sectors[9][0xFFFE], 0xFF);
    EXPECT_EQ(readListing(u.unit).directorySector, 9);
}

TEST(DirectoryWrite, RefusesWhatItCouldNotReadBack) {
    const auto id = identityOf();
    FlashUnit u(id, vunit::blankStorage(id));
    auto list = entries(257);
    EXPECT_EQ(ZELWriteDirectory(u.unit, 5, -1, list.data(), 257), 0);
    EXPECT_EQ(testunits::lastError(u.unit), 0x1C000000u);
    EXPECT_EQ(ZELWriteDirectory(u.unit, -1, -1, list.data(), 1), 0);
    EXPECT_EQ(ZELWriteDirectory(u.unit, 5, -1, nullptr, 3), 0);
    EXPECT_EQ(readListing(u.unit).result, 0); // nothing was written
}

// A sector top holding `blocks` full blocks, the last linking to `lastLink`.
void chainOfFullBlocks(std::vector<uint8_t>& sector, int sectorNumber, int blocks, uint32_t lastLink) {
    uint32_t block = 0xFF00;
    for (int b = 0; b < blocks; ++b) {
        for (int k = 0; k < 22; ++k) {
            const _direntry e{zel::sectorAddress(1), 0x14, static_cast<uint32_t>(b * 22 + k), 1};
            zel::encodeEntry(e, &sector[block + static_cast<uint32_t>(k) * 11]);
        }
        const uint32_t next = b + 1 < blocks ? zel::sectorAddress(sectorNumber) + block - 256 : lastLink;
        for (int i = 0; i < 4; ++i) sector[block + 242 + static_cast<uint32_t>(i)] = static_cast<uint8_t>(next >> (8 * i));
        block -= 256;
    }
    sector[0xFFFF] = 0x55;
}

TEST(DirectoryRead, ChainsThatLoopOrOverflowFailInsteadOfRunningOn) {
    const auto id = identityOf();
    {
        vunit::Storage s = vunit::blankStorage(id);
        chainOfFullBlocks(s.sectors[2], 2, 2, zel::sectorAddress(2) + 0xFF00); // back to the first block
        FlashUnit u(id, s);
        EXPECT_EQ(readListing(u.unit).result, -1);
    }
    {
        vunit::Storage s = vunit::blankStorage(id);
        chainOfFullBlocks(s.sectors[2], 2, 12, zel::kNoNextBlock); // 264 entries
        FlashUnit u(id, s);
        std::vector<_direntry> room(256);
        int sector = 0, count = 0;
        unsigned short sectors = 0;
        EXPECT_EQ(ZELReadDirectory(u.unit, sector, sectors, room.data(), count), -1);
        EXPECT_EQ(count, 256);
    }
    {
        vunit::Storage s = vunit::blankStorage(id);
        chainOfFullBlocks(s.sectors[2], 2, 1, zel::kNoNextBlock);
        s.sectors[2][0xFF00 + 242 + 4] = 0x14; // the end slot reads as a 23rd entry
        FlashUnit u(id, s);
        EXPECT_EQ(readListing(u.unit).result, -1);
    }
}

TEST(DirectoryPrint, ExactLines) {
    std::vector<_direntry> list{{0x00020000, 0x60, 1280, 40000}, {0x0003FF00, 0x14, 0xABCDEF12, 7}};
    int result = 0;
    EXPECT_EQ(printed([&] { result = ZELPrintDirectory(list.data(), 2); }),
              "\nDirectory Contents\n==================\n"
              "( 1) 60 00020000 00000500 40000\n"
              "( 2) 14 0003FF00 ABCDEF12 7\n");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(printed([&] { result = ZELPrintDirectory(nullptr, 0); }), "\nDirectory Contents\n==================\n");
    EXPECT_EQ(result, 1);
}

} // namespace
