// Plans carried out on the unit: a plan whose steps would find no room in the
// order they run is refused before anything is erased, unless the caller can
// supply displaced items, which are then written again at the end.
#include "flash_units.h"

#include "flash/directory_format.h"
#include "flash/placement.h"

using namespace flashtest;

namespace {

// Three relocations planned in the order the planner found them; run last
// first, the first step already finds no room (a crowded unit).
Layout crowded() {
    Layout l;
    l.chipCode = 17;
    l.items = {item(0x14, 1, 48000, 0), item(0x14, 2, 6000, 0),  item(0x14, 3, 8000, 0),  item(0x16, 100, 1000, 0),
               item(0x14, 4, 20000, 1), item(0x14, 5, 7000, 1),  item(0x14, 6, 10000, 1), item(0x14, 7, 24000, 1),
               item(0x14, 8, 47000, 2), item(0x14, 9, 6000, 2)};
    return l;
}

TEST(PlanCheck, FindsTheStepThatRunsOutOfRoom) {
    const Laid laid = layOut(crowded());
    auto dir = vfactory::readDirectory(laid.storage, laid.identity);
    ASSERT_TRUE(dir);
    std::vector<_direntry> working;
    for (const auto& e : dir->entries)
        if (e.id != 100) working.push_back(toEntry(e));
    std::array<uint8_t, 256> map{};
    std::fill_n(map.begin(), 4, uint8_t{1});
    const std::vector<_direntry> items{{0, 0x16, 100, 18000}};
    zel::Plan plan;
    ASSERT_TRUE(zel::PlanPlacement(working, items, 3, {4, map.data()}, plan));
    EXPECT_EQ(plan.bestDepth, 3);
    const zel::PlanCheck check = zel::checkPlan({working, 0, 3}, plan, items);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.failedStep, 3u); // the first to run
}

TEST(PlanCheck, AWriteThatWouldFailMidwayTouchesNothing) {
    FlashUnit u(crowded());
    const vunit::Storage before = u.stored();
    auto bytes = pattern(100, 18000);
    std::string out = printed([&] { EXPECT_EQ(ZELWriteDirectoryItem(u.unit, {0, 0x16, 100, 18000}, bytes.data()), 0); });
    EXPECT_EQ(out, "candidate sector: 3\nRequired directory size is 256 bytes\n"
                   "Cannot copy. Not enough space in destination sector.\n");
    EXPECT_EQ(testunits::lastError(u.unit), 0x1C000000u);
    EXPECT_TRUE(sameFlash(u.stored(), before));
    // The item it was to replace is still there.
    std::vector<char> b(1000);
    unsigned int length = 1000;
    ASSERT_EQ(ZELReadDirectoryItemByID(u.unit, 100, b.data(), &length), 1);
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.end()), pattern(100, 1000));
}

// The displacement callback: hands back the contents it is asked for.
std::vector<unsigned> g_displaced;
unsigned char giveBack(_direntry item, unsigned char* buffer, int* size) {
    EXPECT_EQ(*size, 65536);
    g_displaced.push_back(+item.id);
    const auto bytes = pattern(item.id, item.size);
    std::copy(bytes.begin(), bytes.end(), buffer);
    *size = item.size;
    return 1;
}
unsigned char refuse(_direntry item, unsigned char*, int*) {
    g_displaced.push_back(+item.id);
    return 0;
}

TEST(Displacement, AnItemWithoutRoomIsWrittenAgainAtTheEnd) {
    FlashUnit u(crowded());
#if !defined(_WIN32)
    testunits::Collector progress;
    ZELRegisterStatusWindow(u.unit, &progress.sink, 3);
#endif
    g_displaced.clear();
    auto bytes = pattern(100, 18000);
    ASSERT_EQ(ZELReplaceDirectoryItemByType(u.unit, {0, 0x16, 100, 18000}, bytes.data(), giveBack), 1);
    EXPECT_EQ(g_displaced, (std::vector<unsigned>{9, 3})); // without 9, 3 finds no room either
    const Listing d = readListing(u.unit);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.entries.size(), 10u);
    for (const _direntry& e : d.entries) EXPECT_EQ(u.bytesOf(e), pattern(+e.id, +e.size)) << +e.id;
    EXPECT_EQ(+d.entries[8].id, 9u); // rewritten last, in the order displaced
    EXPECT_EQ(+d.entries[9].id, 3u);
#if !defined(_WIN32)
    ZELRegisterStatusWindow(u.unit, nullptr, 0);
    size_t displaced = 0;
    for (const auto& r : progress.records) displaced += r.kind == ZEL_STATUS_DISPLACED;
    EXPECT_EQ(displaced, 2u);
#endif
}

TEST(Displacement, ACallbackThatDeclinesAbandonsTheWrite) {
    FlashUnit u(crowded());
    g_displaced.clear();
    auto bytes = pattern(100, 18000);
    EXPECT_EQ(ZELReplaceDirectoryItemByType(u.unit, {0, 0x16, 100, 18000}, bytes.data(), refuse), 0);
    EXPECT_EQ(g_displaced, std::vector<unsigned>{9});
    const Listing d = readListing(u.unit); // still one valid directory, every item intact
    ASSERT_EQ(d.result, 1);
    for (const _direntry& e : d.entries) EXPECT_EQ(u.bytesOf(e), pattern(+e.id, +e.size)) << +e.id;
}

TEST(Displacement, LogFilesAreNeverDisplaced) {
    Layout l = crowded();
    l.items[9].type = 0x60; // the item that would be displaced
    FlashUnit u(l);
    g_displaced.clear();
    auto bytes = pattern(100, 18000);
    EXPECT_EQ(ZELReplaceDirectoryItemByType(u.unit, {0, 0x16, 100, 18000}, bytes.data(), giveBack), 0);
    EXPECT_TRUE(g_displaced.empty());
    EXPECT_EQ(testunits::lastError(u.unit), 0x1C000000u);
}

TEST(StrayDirectory, AValidMarkerAboveTheDirectoryIsRetiredBeforeAWrite) {
    Layout l;
    l.chipCode = 18;
    l.items = {item(0x14, 1, 1000)};
    Laid laid = layOut(l);
    // Left by a cut between marking a new directory in sector 5 and retiring 0.
    vfactory::writeDirectory(laid.storage.sectors[5], 5, {{zel::sectorAddress(0), 0x14, 1, 1000}});
    FlashUnit u(laid);
    ASSERT_EQ(readListing(u.unit).directorySector, 0);
    auto bytes = pattern(2, 50);
    ASSERT_EQ(ZELWriteDirectoryItem(u.unit, {0, 0x16, 2, 50}, bytes.data()), 1);
    const vunit::Storage s = u.stored();
    int valid = 0;
    for (int sector = 0; sector < 8; ++sector) valid += s.sectors[sector][0xFFFE] == 0xFF && s.sectors[sector][0xFFFF] == 0x55;
    EXPECT_EQ(valid, 1);
    EXPECT_EQ(s.sectors[5][0xFFFE], 0x00);
}

#if !defined(_WIN32)
// Cancels as soon as item bytes start going to the unit.
struct CancelOnWrite {
    int unit = -1;
    ZEL_SINK sink{&CancelOnWrite::post, this};
    static void post(void* context, unsigned int message, uintptr_t, intptr_t lParam) {
        auto* r = reinterpret_cast<_ZEL_STATUS_RECORD*>(lParam);
        if (message == ZEL_STATUS_MESSAGE && r->kind == ZEL_STATUS_FILE_WRITE)
            ZELCancelIO(static_cast<CancelOnWrite*>(context)->unit);
        ZELFreeStatusBuffer(r);
    }
};

TEST(Cancel, AWriteStopsAndTheOldDirectoryStays) {
    Layout l;
    l.items = {item(0x14, 1, 1000)};
    FlashUnit u(l);
    CancelOnWrite c;
    c.unit = u.unit;
    ZELRegisterStatusWindow(u.unit, &c.sink, 0);
    auto bytes = pattern(2, 5000);
    EXPECT_EQ(ZELWriteDirectoryItem(u.unit, {0, 0x16, 2, 5000}, bytes.data()), 0);
    ZELRegisterStatusWindow(u.unit, nullptr, 0);
    EXPECT_EQ(testunits::lastError(u.unit) & 0xFFFF0000u, 0x30000u);
    const Listing d = readListing(u.unit);
    ASSERT_EQ(d.result, 1);
    EXPECT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(u.bytesOf(d.entries[0]), pattern(1, 1000));
    EXPECT_EQ(ZELWriteDirectoryItem(u.unit, {0, 0x16, 2, 5000}, bytes.data()), 1); // cleared for the next one
}
#endif

} // namespace
