// Writing, replacing and deleting items on virtual units: what the directory
// says afterwards, where the bytes went, what was printed, and that a change
// that cannot be made touches nothing.
#include "flash_units.h"

#include "flash/directory_format.h"

using namespace flashtest;

namespace {

using zel::sectorAddress;

_direntry newItem(uint8_t type, uint32_t id, uint16_t size) { return {0, type, id, size}; }

int write(const FlashUnit& u, uint8_t type, uint32_t id, uint16_t size, std::string* out = nullptr) {
    auto bytes = pattern(id, size);
    int result = 0;
    const std::string said =
        printed([&] { result = ZELWriteDirectoryItem(u.unit, newItem(type, id, size), bytes.data()); });
    if (out) *out = said;
    return result;
}

std::vector<unsigned> idsOf(const std::vector<_direntry>& entries) {
    std::vector<unsigned> ids;
    for (const _direntry& e : entries) ids.push_back(+e.id);
    return ids;
}

// Every listed item holds the bytes it was written with.
void expectIntact(const FlashUnit& u, const Listing& d) {
    for (const _direntry& e : d.entries) EXPECT_EQ(u.bytesOf(e), pattern(+e.id, +e.size)) << "item " << +e.id;
}

TEST(ItemWrite, FirstItemCreatesTheDirectoryInTheLowestSector) {
    Layout l;
    l.directory = false;
    FlashUnit u(l);
    std::string out;
    ASSERT_EQ(write(u, 0x14, 7, 3000, &out), 1);
    EXPECT_EQ(testunits::lastError(u.unit), 0x4000u);
    EXPECT_EQ(out, "candidate sector: 0\nRequired directory size is 256 bytes\nErasing addr=0...DONE\n");
    const Listing d = readListing(u.unit);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.directorySector, 0);
    ASSERT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(+d.entries[0].address, 0u);
    expectIntact(u, d);
}

TEST(ItemWrite, SameTypeAndIdReplacesTheOldItem) {
    Layout l;
    l.items = {item(0x14, 1, 1000), item(0x14, 2, 2000), item(0x16, 2, 500)};
    FlashUnit u(l);
    const _direntry old = readListing(u.unit).entries[1];
    auto bytes = pattern(77, 4000);
    ASSERT_EQ(ZELWriteDirectoryItem(u.unit, newItem(0x14, 2, 4000), bytes.data()), 1);
    const Listing d = readListing(u.unit);
    ASSERT_EQ(d.entries.size(), 3u);
    EXPECT_EQ(+d.entries.back().id, 2u);
    EXPECT_EQ(d.entries.back().type, 0x14);
    EXPECT_EQ(u.bytesOf(d.entries.back()), bytes);
    EXPECT_EQ(u.bytesOf(old), pattern(2, 2000)); // its bytes stay until that sector is rotated
    char b[600];
    unsigned int length = 1;
    ASSERT_EQ(ZELReadDirectoryItemByType(u.unit, 0x16, b, &length), 1); // the same id of another type stays
}

TEST(ItemWrite, ReplacingByTypeDropsEveryItemOfTheType) {
    Layout l;
    l.items = {item(0x14, 1, 1000), item(0x16, 2, 2000), item(0x16, 3, 500), item(0x00, 4, 10)};
    FlashUnit u(l);
    auto bytes = pattern(9, 100);
    ASSERT_EQ(ZELReplaceDirectoryItemByType(u.unit, newItem(0x16, 9, 100), bytes.data()), 1);
    const Listing d = readListing(u.unit);
    EXPECT_EQ(idsOf(d.entries), (std::vector<unsigned>{1, 9})); // and the dead entry is gone
    expectIntact(u, d);
}

// A unit whose every sector holds an item or the directory.
Layout fullUnit() {
    Layout l;
    l.chipCode = 17;
    for (int s = 1; s < 4; ++s) l.items.push_back(item(0x14, static_cast<uint32_t>(s), 100, s));
    return l;
}

TEST(ItemWrite, NoSpareSectorChangesNothing) {
    FlashUnit u(fullUnit());
    const vunit::Storage before = u.stored();
    std::string out;
    EXPECT_EQ(write(u, 0x14, 9, 10, &out), 0);
    EXPECT_EQ(out, "no empty found!!!\n");
    unsigned ids[] = {1};
    out = printed([&] { EXPECT_EQ(ZELDeleteItemsByID(u.unit, ids, 1), 0); });
    EXPECT_EQ(out, "No empty sector found!!!\n");
    EXPECT_TRUE(sameFlash(u.stored(), before));
}

TEST(ItemWrite, AnItemThatFitsNowhereFailsBeforeAnythingIsErased) {
    Layout l;
    l.chipCode = 17;
    l.items = {item(0x14, 1, 30000, 1), item(0x14, 2, 30000, 2)};
    FlashUnit u(l);
    const vunit::Storage before = u.stored();
    std::string out;
    EXPECT_EQ(write(u, 0x16, 9, 65400, &out), 0);
    EXPECT_EQ(out, "candidate sector: 3\nRequired directory size is 256 bytes\n");
    EXPECT_EQ(testunits::lastError(u.unit), 0x1C000000u);
    EXPECT_TRUE(sameFlash(u.stored(), before));
}

// Sector 0: 40000, 12000, 3000 and the directory; 1: 45000; 2: 63000; 3 free.
// 24000 bytes fit only where 12000 and 3000 leave sector 0 for sector 1.
Layout twoRelocationsIntoOneSector() {
    Layout l;
    l.chipCode = 17;
    l.items = {item(0x14, 1, 40000, 0), item(0x14, 2, 12000, 0), item(0x14, 3, 3000, 0), item(0x14, 4, 45000, 1),
               item(0x14, 5, 63000, 2)};
    return l;
}

TEST(ItemWrite, StepsIntoOneSectorAreRedirectedToWhereItsItemsWent) {
    FlashUnit u(twoRelocationsIntoOneSector());
    std::string out;
    ASSERT_EQ(write(u, 0x16, 100, 24000, &out), 1);
    EXPECT_EQ(out, "candidate sector: 3\n"
                   "Required directory size is 256 bytes\n"
                   "Erasing addr=196608...DONE\n" // 3 into 1's place: sector 1 rotated into 3
                   "Updating reference from 1 to 3\n"
                   "Erasing addr=65536...DONE\n"  // 2 into what was sector 1, now in 3
                   "Erasing addr=196608...DONE\n"); // the new item where 0 was
    const Listing d = readListing(u.unit);
    // Those that stayed, largest first; then the placed ones in the order their steps ran.
    EXPECT_EQ(idsOf(d.entries), (std::vector<unsigned>{5, 4, 1, 3, 2, 100}));
    EXPECT_EQ(d.directorySector, 3);
    expectIntact(u, d);
    EXPECT_EQ(zel::sectorOf(+d.entries[3].address), 1);
    EXPECT_EQ(zel::sectorOf(+d.entries[4].address), 1);
}

TEST(ItemWrite, ANearlyFullSectorBuiltByWritesIsNotRotatedPastItsRoom) {
    // One item of 65279 bytes; small items go into the 256 bytes left beside
    // it while the directory still fits there; later ones elsewhere.
    Layout l;
    l.directory = false;
    FlashUnit u(l);
    ASSERT_EQ(write(u, 0x14, 1, 65279), 1);
    for (uint32_t i = 0; i < 20; ++i) ASSERT_EQ(write(u, 0x17, 100 + i, 0), 1) << i;
    ASSERT_EQ(write(u, 0x18, 150, 0), 1);
    Listing d = readListing(u.unit);
    ASSERT_EQ(d.entries.size(), 22u);
    for (const _direntry& e : d.entries) EXPECT_EQ(zel::sectorOf(+e.address), zel::sectorOf(+d.entries[0].address));
    for (uint32_t i = 0; i < 4; ++i) ASSERT_EQ(write(u, 0x16, 200 + i, 1000), 1) << i;
    d = readListing(u.unit);
    ASSERT_EQ(d.entries.size(), 26u);
    const int full = zel::sectorOf(d.entries[0].address);
    EXPECT_NE(d.directorySector, full);
    // Deleting type 0x18 rotates that sector: its 65279 bytes and the 25
    // entries left would not fit in one.
    const vunit::Storage before = u.stored();
    _direntry which{};
    which.type = 0x18;
    std::string out = printed([&] { EXPECT_EQ(ZELDeleteDirectoryItem(u.unit, which), 0); });
    EXPECT_EQ(testunits::lastError(u.unit), 0x1C000000u);
    EXPECT_NE(out.find("oldsector: " + std::to_string(full) + "\nCannot copy. Not enough space in destination sector.\n"),
              std::string::npos);
    EXPECT_TRUE(sameFlash(u.stored(), before));
    // Clearing sector 0 moves the same sector: refused the same way.
    if (full == 0) {
        EXPECT_EQ(ZELClearSectorZero(u.unit), 0);
        EXPECT_TRUE(sameFlash(u.stored(), before));
    }
}

TEST(ItemDelete, LogFilesGoAndTheDirectorySectorsOtherItemsMove) {
    Layout l;
    l.items = {item(0x14, 1, 1000, 0), item(0x60, 1280, 30000, 0), item(0x60, 1281, 50000, 1), item(0x16, 2, 500, 0)};
    FlashUnit u(l);
    unsigned types[] = {0x60};
    std::string out = printed([&] { EXPECT_EQ(ZELDeleteItemsByType(u.unit, types, 1), 1); });
    EXPECT_EQ(out, "candidate sector: 2\nErasing addr=131072...DONE\nCopying...\nDONE\nCopying...\nDONE\n");
    const Listing d = readListing(u.unit);
    EXPECT_EQ(idsOf(d.entries), (std::vector<unsigned>{1, 2}));
    EXPECT_EQ(d.directorySector, 2);
    EXPECT_EQ(+d.entries[0].address, sectorAddress(2));
    EXPECT_EQ(+d.entries[1].address, sectorAddress(2) + 1000);
    expectIntact(u, d);
}

TEST(ItemDelete, CountZeroStillMovesTheDirectoryAndItsSectorsItems) {
    Layout l;
    l.items = {item(0x14, 1, 1000, 0), item(0x16, 2, 2000, 1)};
    FlashUnit u(l);
    EXPECT_EQ(ZELDeleteItemsByID(u.unit, nullptr, 0), 1);
    Listing d = readListing(u.unit);
    EXPECT_EQ(d.directorySector, 2);
    EXPECT_EQ(idsOf(d.entries), (std::vector<unsigned>{1, 2}));
    EXPECT_EQ(+d.entries[0].address, sectorAddress(2));
    EXPECT_EQ(+d.entries[1].address, sectorAddress(1)); // not in the directory sector: stays
    EXPECT_EQ(ZELDeleteItemsByType(u.unit, nullptr, 0), 1);
    d = readListing(u.unit);
    EXPECT_EQ(d.directorySector, 0);
    expectIntact(u, d);
}

TEST(ItemDelete, ByIdAndByTypeDropWhatTheyName) {
    Layout l;
    l.items = {item(0x14, 1, 100), item(0x14, 2, 100), item(0x16, 3, 100), item(0x00, 4, 100), item(0x17, 5, 100)};
    FlashUnit u(l);
    unsigned ids[] = {2, 99};
    ASSERT_EQ(ZELDeleteItemsByID(u.unit, ids, 2), 1);
    EXPECT_EQ(idsOf(readListing(u.unit).entries), (std::vector<unsigned>{1, 3, 4, 5})); // dead entries stay
    unsigned types[] = {0x16, 0x100 + 0x17, 0};
    ASSERT_EQ(ZELDeleteItemsByType(u.unit, types, 3), 1); // above 255 matches nothing
    EXPECT_EQ(idsOf(readListing(u.unit).entries), (std::vector<unsigned>{1, 5}));
}

TEST(ItemDelete, ByTypeReclaimsOnlyTheFirstItemsSector) {
    Layout l;
    l.items = {item(0x14, 1, 1000, 1), item(0x17, 2, 2000, 1), item(0x14, 3, 3000, 2), item(0x16, 4, 500, 0)};
    FlashUnit u(l); // directory in 0
    _direntry which{};
    which.type = 0x14;
    std::string out = printed([&] { EXPECT_EQ(ZELDeleteDirectoryItem(u.unit, which), 1); });
    EXPECT_EQ(out, "candidate sector: 3\noldsector: 1\nErasing addr=196608...DONE\nCopying...\nDONE\n");
    const Listing d = readListing(u.unit);
    EXPECT_EQ(idsOf(d.entries), (std::vector<unsigned>{2, 4}));
    EXPECT_EQ(+d.entries[0].address, sectorAddress(3)); // sector 1's other item moved
    EXPECT_EQ(+d.entries[1].address, sectorAddress(0)); // the directory sector's stayed
    which.type = 0x60;
    out = printed([&] { EXPECT_EQ(ZELDeleteDirectoryItem(u.unit, which), 0); });
    EXPECT_EQ(out, "candidate sector: 1\nItem not found in directory\n");
}

TEST(ItemDelete, NoDirectoryWritesAnEmptyOne) {
    Layout l;
    l.directory = false;
    FlashUnit u(l);
    EXPECT_EQ(ZELDeleteItemsByID(u.unit, nullptr, 0), 1);
    const Listing d = readListing(u.unit);
    EXPECT_EQ(d.result, 1);
    EXPECT_EQ(d.directorySector, 0);
    EXPECT_TRUE(d.entries.empty());
}

} // namespace
