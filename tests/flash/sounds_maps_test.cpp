// Sounds and maps: what the unit reports, and map sets written with the
// in-progress type and committed in one directory write.
#include "flash_units.h"

#include "flash/directory_format.h"

#include <cstring>

using namespace flashtest;

namespace {

struct Maps {
    std::vector<_direntry> entries;
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<unsigned char*> pointers;
    explicit Maps(std::vector<std::pair<unsigned, uint16_t>> idsAndSizes) {
        for (auto [id, size] : idsAndSizes) {
            entries.push_back({0, 0x11, id, size});
            bytes.push_back(pattern(id, size));
        }
        for (auto& b : bytes) pointers.push_back(b.data());
    }
    int write(int unit, unsigned set) {
        return ZELWriteMaps(unit, entries.data(), pointers.data(), static_cast<int>(entries.size()), set, nullptr);
    }
};

std::vector<std::pair<unsigned, unsigned>> typesAndIds(const Listing& d) {
    std::vector<std::pair<unsigned, unsigned>> out;
    for (const _direntry& e : d.entries) out.emplace_back(e.type, +e.id);
    return out;
}

TEST(Sounds, EachTypeReportsItsItemAndTheLastMapWins) {
    Layout l;
    l.items = {item(0x14, 20, 10), item(0x17, 23, 10), item(0x16, 22, 10), item(0x18, 24, 10), item(0x19, 25, 10),
               item(0x1E, 30, 10), item(0x1F, 31, 10), item(0x02, 0x0101, 10), item(0x60, 1280, 10),
               item(0x03, 0x0205, 10), item(0x14, 21, 10)};
    FlashUnit u(l);
    _ZEL_SOUNDS s{};
    unsigned int map = 9;
    ASSERT_EQ(ZELGetSoundsAndMap(u.unit, &s, &map), 1);
    EXPECT_EQ(+s.sound20, 21u); // a later entry of a kind overwrites
    EXPECT_EQ(+s.sound23, 23u);
    EXPECT_EQ(+s.sound22, 22u);
    EXPECT_EQ(+s.sound24, 24u);
    EXPECT_EQ(+s.sound25, 25u);
    EXPECT_EQ(+s.sound30, 30u);
    EXPECT_EQ(+s.sound31, 31u);
    EXPECT_EQ(map, 0x0205u);
}

TEST(Sounds, NoneAndNoDirectoryReadAsZero) {
    Layout l;
    l.directory = false;
    FlashUnit u(l);
    _ZEL_SOUNDS s;
    std::memset(&s, 0x5A, sizeof s);
    unsigned int map = 9;
    ASSERT_EQ(ZELGetSoundsAndMap(u.unit, &s, &map), 1);
    EXPECT_EQ(+s.sound20 + s.sound23 + s.sound22 + s.sound24 + s.sound25 + s.sound30 + s.sound31, 0u);
    EXPECT_EQ(map, 0u);
}

TEST(MapWrite, ANewSetReplacesTheOldLowByteOnlyInItsSet) {
    Layout l;
    l.items = {item(0x03, 0x0305, 2000), item(0x03, 0x0315, 1000), item(0x03, 0x0405, 500), item(0x14, 1, 100)};
    FlashUnit u(l);
    Maps m({{0x0306, 3000}, {0x0316, 1500}});
    ASSERT_EQ(m.write(u.unit, 3), 1);
    EXPECT_EQ(m.entries[0].type, 0xFE); // the caller's entries say what was written
    const Listing d = readListing(u.unit);
    EXPECT_EQ(typesAndIds(d), (std::vector<std::pair<unsigned, unsigned>>{
                                  {0x03, 0x0405}, {0x14, 1}, {0x03, 0x0316}, {0x03, 0x0306}}));
    for (const _direntry& e : d.entries) EXPECT_EQ(u.bytesOf(e), pattern(+e.id, +e.size)) << +e.id;
}

TEST(MapWrite, IdsOfAnotherSetFailAtOnce) {
    Layout l;
    l.items = {item(0x03, 0x0305, 200)};
    FlashUnit u(l);
    const vunit::Storage before = u.stored();
    Maps m({{0x0305, 100}, {0x0405, 100}});
    EXPECT_EQ(m.write(u.unit, 3), 0);
    EXPECT_EQ(m.entries[0].type, 0x11); // untouched
    EXPECT_TRUE(sameFlash(u.stored(), before));
    Maps high({{0x0305, 100}});
    EXPECT_EQ(high.write(u.unit, 0x103), 0); // a set above 255 matches no id
}

TEST(MapWrite, CountZeroOnlyCommits) {
    Layout l;
    l.items = {item(0x03, 0x0305, 200), item(0x03, 0x0300, 100), item(0x03, 0x0405, 50), item(0xFE, 0x0307, 10)};
    FlashUnit u(l);
    ASSERT_EQ(ZELWriteMaps(u.unit, nullptr, nullptr, 0, 3, nullptr), 1);
    // Maps of set 3 with a low byte other than 0 go, leftovers in progress too.
    EXPECT_EQ(typesAndIds(readListing(u.unit)),
              (std::vector<std::pair<unsigned, unsigned>>{{0x03, 0x0300}, {0x03, 0x0405}}));
}

TEST(MapWrite, WithoutRoomForBothSetsTheOldOneMakesWay) {
    // Every sector but 7 nearly full; the old set takes sectors 1 and 2.
    Layout l;
    l.chipCode = 18;
    l.items = {item(0x14, 1, 60000, 0), item(0x03, 0x0501, 60000, 1), item(0x03, 0x0502, 60000, 2),
               item(0x14, 2, 60000, 3), item(0x14, 3, 60000, 4), item(0x14, 4, 60000, 5), item(0x14, 5, 60000, 6)};
    FlashUnit u(l);
    Maps maps({{0x0511, 50000}, {0x0512, 50000}});
    std::string out = printed([&] { EXPECT_EQ(maps.write(u.unit, 5), 1); });
    EXPECT_EQ(out.find("Required directory size is 256 bytes\nRequired directory size is 256 bytes\n"), 0u);
    const Listing d = readListing(u.unit);
    std::vector<unsigned> mapIds;
    for (const _direntry& e : d.entries) {
        if (e.type == 0x03) mapIds.push_back(+e.id);
        EXPECT_EQ(u.bytesOf(e), pattern(+e.id, +e.size)) << +e.id;
    }
    EXPECT_EQ(mapIds, (std::vector<unsigned>{0x0512, 0x0511}));
}

TEST(MapWrite, TheSpareIsNeverASectorTheValidDirectoryStillLists) {
    // Sector 1 holds only the map being rewritten: free for the new directory,
    // but listed by the one that is valid until the first step is written.
    Layout l;
    l.chipCode = 18;
    l.items = {item(0x14, 1, 1000, 0), item(0x03, 0x0305, 3000, 1)};
    FlashUnit u(l);
    const vunit::Storage old = u.stored();
    const std::vector<uint8_t> before(old.sectors[1].begin(), old.sectors[1].begin() + 3000);
    Maps m({{0x0305, 4000}});
    ASSERT_EQ(m.write(u.unit, 3), 1);
    const vunit::Storage now = u.stored();
    const std::vector<uint8_t> after(now.sectors[1].begin(), now.sectors[1].begin() + 3000);
    EXPECT_EQ(after, before); // never erased while listed
    const Listing d = readListing(u.unit);
    EXPECT_EQ(typesAndIds(d), (std::vector<std::pair<unsigned, unsigned>>{{0x14, 1}, {0x03, 0x0305}}));
    EXPECT_EQ(u.bytesOf(d.entries[1]), pattern(0x0305, 4000));
}

TEST(MapWrite, RefusesMoreMapsThanAPlanHolds) {
    Layout l;
    FlashUnit u(l);
    std::vector<std::pair<unsigned, uint16_t>> many;
    for (unsigned i = 0; i < 46; ++i) many.push_back({0x0300 + i, 10});
    Maps m(many);
    const vunit::Storage before = u.stored();
    EXPECT_EQ(m.write(u.unit, 3), 0);
    EXPECT_EQ(testunits::lastError(u.unit), 0x1C000000u);
    EXPECT_TRUE(sameFlash(u.stored(), before));
}

} // namespace
