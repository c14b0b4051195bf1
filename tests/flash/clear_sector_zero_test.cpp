// Clearing sector 0 for a firmware image: its items and the directory move to
// the spare, and nothing is touched when they would not fit there.
#include "flash_units.h"

#include "flash/directory_format.h"

using namespace flashtest;

namespace {

bool erased(const std::vector<uint8_t>& sector) {
    return std::all_of(sector.begin(), sector.end(), [](uint8_t b) { return b == 0xFF; });
}

TEST(ClearSectorZero, EmptySectorZeroIsOnlyErased) {
    Layout l;
    l.items = {item(0x14, 1, 3000, 2), item(0x14, 2, 100, 3)};
    l.directorySector = 1;
    Laid laid = layOut(l);
    vunit::Storage& s = laid.storage;
    std::fill(s.sectors[0].begin(), s.sectors[0].begin() + 500, uint8_t{0x12}); // an old image
    FlashUnit u(laid);
    ASSERT_EQ(ZELClearSectorZero(u.unit), 1);
    const vunit::Storage after = u.stored();
    EXPECT_TRUE(erased(after.sectors[0]));
    for (int sector : {1, 2, 3}) EXPECT_EQ(after.sectors[sector], s.sectors[sector]) << sector;
}

TEST(ClearSectorZero, ItemsAndDirectoryMoveToTheSpare) {
    Layout l;
    l.items = {item(0x14, 1, 3000, 0), item(0x60, 1280, 20000, 1), item(0x16, 2, 7000, 0), item(0x00, 3, 10, 0)};
    FlashUnit u(l); // directory in sector 0, sector 2 the spare
    ASSERT_EQ(ZELClearSectorZero(u.unit), 1);
    const Listing d = readListing(u.unit);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.directorySector, 2);
    ASSERT_EQ(d.entries.size(), 4u);
    EXPECT_EQ(+d.entries[0].address, zel::sectorAddress(2));
    EXPECT_EQ(+d.entries[1].address, zel::sectorAddress(1)); // elsewhere: left in place
    EXPECT_EQ(+d.entries[2].address, zel::sectorAddress(2) + 3000);
    EXPECT_EQ(+d.entries[3].address, zel::sectorAddress(2) + 10000); // dead entries move too
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(u.bytesOf(d.entries[i]), l.items[i].contents) << i;
    EXPECT_TRUE(erased(u.stored().sectors[0]));
}

TEST(ClearSectorZero, RefusesBeforeErasingWhenTheDirectoryWouldNotFit) {
    // Sector 0 nearly full; with the 26-entry directory it cannot fit in any one sector.
    Layout l;
    l.items.push_back(item(0x14, 1, 65279, 0));
    for (uint32_t i = 0; i < 25; ++i) l.items.push_back(item(0x16, 100 + i, 10, 0));
    l.directorySector = 1;
    FlashUnit u(l);
    const vunit::Storage before = u.stored();
    std::string out = printed([&] { EXPECT_EQ(ZELClearSectorZero(u.unit), 0); });
    EXPECT_EQ(out, "Cannot copy. Not enough space in destination sector.\n");
    EXPECT_EQ(testunits::lastError(u.unit), 0x1C000000u);
    EXPECT_TRUE(sameFlash(u.stored(), before));
    EXPECT_EQ(readListing(u.unit).entries.size(), 26u);
}

TEST(ClearSectorZero, NoSpareMeansNoChange) {
    Layout l;
    l.chipCode = 17;
    for (int s = 1; s < 4; ++s) l.items.push_back(item(0x14, static_cast<uint32_t>(s), 100, s));
    FlashUnit u(l); // 0 holds the directory, 1-3 items
    const vunit::Storage before = u.stored();
    EXPECT_EQ(ZELClearSectorZero(u.unit), 0);
    EXPECT_TRUE(sameFlash(u.stored(), before));
}

} // namespace
