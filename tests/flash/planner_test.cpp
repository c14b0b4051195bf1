// The planner against the plainly written search: the same plan (steps,
// depth, directory order) for random and crowded directories, and the rules
// a plan must keep.
#include "reference_planner.h"

#include "flash/directory_format.h"
#include "flash/rotation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>

using namespace zel;

namespace {

struct Case {
    std::array<uint8_t, 256> map{};
    int sectorCount = 0;
    int directorySector = -1;
    int spare = -1;
    std::vector<_direntry> list;
    std::vector<_direntry> items;
    Geometry geometry() const { return {sectorCount, map.data()}; }
};

// A crowded unit: sectors filled to a random level with items of mixed sizes,
// sometimes with more than a sector holds (overlapping entries).
Case randomCase(std::mt19937& rng, size_t maxEntries) {
    Case c;
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int shape = pick(0, 5);
    if (shape == 0 && pick(0, 1)) {
        c.sectorCount = 256;
        for (int slot = 0; slot < 4; ++slot)
            if (pick(0, 2)) std::fill_n(c.map.begin() + 64 * slot, pick(1, 4), uint8_t{1});
    } else {
        c.sectorCount = 4 << (pick(0, 3) == 0 ? pick(1, 2) : 0);
        std::fill_n(c.map.begin(), c.sectorCount, uint8_t{1});
    }
    std::vector<int> present;
    for (int s = 0; s < c.sectorCount; ++s)
        if (c.map[static_cast<size_t>(s)]) present.push_back(s);
    if (present.size() < 2) {
        c.map[1] = 1;
        present = {0, 1};
        c.map[0] = 1;
    }
    const bool overlapping = pick(0, 15) == 0;
    const bool crowded = pick(0, 2) != 0;
    const size_t n = static_cast<size_t>(pick(0, static_cast<int>(maxEntries)));
    std::array<uint32_t, 256> used{};
    const int spareCandidate = present[static_cast<size_t>(pick(0, static_cast<int>(present.size()) - 1))];
    auto sizeOf = [&]() -> uint16_t {
        switch (pick(0, 3)) {
        case 0: return static_cast<uint16_t>(pick(0, 600));
        case 1: return static_cast<uint16_t>(pick(600, 9000));
        case 2: return static_cast<uint16_t>(pick(9000, 30000));
        default: return static_cast<uint16_t>(pick(1, 4) * 5000); // equal sizes: twins
        }
    };
    const int k = pick(0, 5) == 0 ? pick(2, 4) : 1;
    for (int i = 0; i < k; ++i) c.items.push_back({0, 0x14, static_cast<uint32_t>(9000 + i), sizeOf()});
    if (crowded) {
        // Every sector but the spare holds a few items and less room than the
        // first item needs, so plans must relocate.
        for (int s : present) {
            if (s == spareCandidate) continue;
            const int m = pick(1, 4);
            if (c.list.size() + static_cast<size_t>(m) > maxEntries) break;
            uint32_t left = 0xFFFF - static_cast<uint32_t>(pick(0, c.items[0].size + 600));
            for (int j = 0; j < m; ++j) {
                const uint32_t size = j + 1 == m ? left : static_cast<uint32_t>(pick(0, static_cast<int>(left)));
                const uint16_t sz = static_cast<uint16_t>(std::min<uint32_t>(size, 0xFFFF));
                c.list.push_back({sectorAddress(s) + used[static_cast<size_t>(s)], 0x14,
                                  static_cast<uint32_t>(1000 + c.list.size()), sz});
                used[static_cast<size_t>(s)] += sz;
                left -= sz;
            }
        }
    }
    for (size_t i = 0; !crowded && c.list.size() < n && i < 4 * maxEntries; ++i) {
        const int s = present[static_cast<size_t>(pick(0, static_cast<int>(present.size()) - 1))];
        if (s == spareCandidate) continue;
        const uint16_t size = sizeOf();
        if (!overlapping && used[static_cast<size_t>(s)] + size > 0xFFFF - 300) continue;
        const uint8_t type = pick(0, 9) == 0 ? 0 : static_cast<uint8_t>(pick(1, 0x60));
        c.list.push_back(
            {sectorAddress(s) + used[static_cast<size_t>(s)] % 0x10000, type, static_cast<uint32_t>(1000 + i), size});
        used[static_cast<size_t>(s)] += size;
    }
    do c.directorySector = present[static_cast<size_t>(pick(0, static_cast<int>(present.size()) - 1))];
    while (c.directorySector == spareCandidate);
    c.spare = FindSpareSector(c.list.data(), c.list.size(), c.sectorCount, c.directorySector, c.map.data());
    return c;
}

// Searches that reached the planner's limit, and how many of them the plain
// search could have planned.
struct LimitReached {
    size_t cases = 0, withPlan = 0;
} limitReached;

void expectSamePlan(const Case& c, const std::string& what) {
    std::vector<_direntry> a = c.list, b = c.list;
    Plan fast, plain;
    PlanStats stats;
    const bool gotFast = PlanPlacement(a, c.items, c.spare, c.geometry(), fast, &stats);
    if (stats.gaveUp) {
        // The search's limit, not a plan: what the plain search says there
        // is counted for the report, not compared.
        EXPECT_FALSE(gotFast) << what;
        ++limitReached.cases;
        if (flashtest::referencePlan(b, c.items, c.spare, c.geometry(), plain)) ++limitReached.withPlan;
        return;
    }
    if (!entriesFitTheirSectors(c.list, c.geometry())) { // damaged: refused, the list still sorted
        EXPECT_FALSE(gotFast) << what;
        std::vector<_direntry> sorted = c.list;
        std::stable_sort(sorted.begin(), sorted.end(), [](const _direntry& x, const _direntry& y) { return x.size > y.size; });
        for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(+a[i].id, +sorted[i].id) << what;
        return;
    }
    const bool gotPlain = flashtest::referencePlan(b, c.items, c.spare, c.geometry(), plain);
    ASSERT_EQ(gotFast, gotPlain) << what;
    EXPECT_EQ(fast.directorySize, plain.directorySize) << what;
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(+a[i].id, +b[i].id) << what << ": directory order at " << i;
    if (!gotFast) return;
    EXPECT_EQ(fast.bestDepth, plain.bestDepth) << what;
    ASSERT_EQ(fast.steps.size(), plain.steps.size()) << what;
    for (size_t i = 0; i < fast.steps.size(); ++i) {
        EXPECT_EQ(+fast.steps[i].id, +plain.steps[i].id) << what << " step " << i;
        EXPECT_EQ(fast.steps[i].type, plain.steps[i].type) << what << " step " << i;
        EXPECT_EQ(fast.steps[i].sector, plain.steps[i].sector) << what << " step " << i;
    }
}

size_t casesWanted(size_t ci) {
    const char* v = std::getenv("BEXO_PLANNER_CASES");
    return v ? static_cast<size_t>(std::strtoul(v, nullptr, 10)) : ci;
}

TEST(PlannerDifferential, SameAsThePlainSearchOnSmallDirectories) {
    std::mt19937 rng(20240611);
    const size_t cases = casesWanted(800);
    size_t withPlan = 0, deep = 0, tried = 0;
    for (size_t i = 0; i < cases; ++i) {
        const Case c = randomCase(rng, 14);
        if (c.spare < 0) continue;
        ++tried;
        expectSamePlan(c, "case " + std::to_string(i));
        if (HasFatalFailure()) return;
        std::vector<_direntry> l = c.list;
        Plan p;
        if (PlanPlacement(l, c.items, c.spare, c.geometry(), p)) {
            ++withPlan;
            if (p.bestDepth >= 2) ++deep;
        }
    }
    // The cases cover plans with relocations, not only easy ones.
    EXPECT_GT(tried, cases / 2);
    EXPECT_GT(withPlan, tried / 4);
    EXPECT_GT(deep, tried / 100);
    std::printf("%zu cases, %zu planned, %zu with two or more relocations\n", tried, withPlan, deep);
}

TEST(PlannerDifferential, SameOnCrowdedDirectoriesOfTwentyEntries) {
    std::mt19937 rng(7);
    const size_t cases = casesWanted(60);
    for (size_t i = 0; i < cases; ++i) {
        const Case c = randomCase(rng, 22);
        if (c.spare < 0) continue;
        expectSamePlan(c, "case " + std::to_string(i));
        if (HasFatalFailure()) return;
    }
    std::printf("%zu searches stopped at the limit, %zu of them where the plain search plans\n", limitReached.cases,
                limitReached.withPlan);
}

std::array<uint8_t, 256> plannerMap(int n) {
    std::array<uint8_t, 256> m{};
    std::fill_n(m.begin(), n, uint8_t{1});
    return m;
}

TEST(Planner, ADestinationNeedsRoomForTheItemAndAWholeDirectory) {
    // 22 entries now, 23 after the change: 278 bytes of directory.
    const auto map = plannerMap(4);
    std::vector<_direntry> list;
    for (uint32_t i = 0; i < 21; ++i) list.push_back({sectorAddress(1) + i, 0x14, i, 1});
    list.push_back({sectorAddress(2), 0x14, 99, static_cast<uint16_t>(0xFFFF - 278 - 1000)});
    const _direntry item{0, 0x16, 500, 1000};
    Plan plan;
    std::vector<_direntry> sorted = list;
    ASSERT_TRUE(PlanPlacement(sorted, {item}, 3, {4, map.data()}, plan));
    EXPECT_EQ(plan.directorySize, 278u);
    EXPECT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].sector, 2); // exactly room enough: the best fit
    list.back().size += 1;
    ASSERT_TRUE(PlanPlacement(list, {item}, 3, {4, map.data()}, plan));
    EXPECT_NE(plan.steps[0].sector, 2);
}

TEST(Planner, RelocatesToMakeRoomAndNeverPlacesIntoTheSpare) {
    // No sector has room for 30000 bytes. Moving C out of sector 2 leaves C
    // nowhere to go; moving A out of sector 1 makes room there, and A fits
    // the rest of sector 2.
    const auto map = plannerMap(4);
    std::vector<_direntry> list{{sectorAddress(0), 0x14, 4, 60000},
                                {sectorAddress(1), 0x14, 1, 25000},
                                {sectorAddress(1) + 25000, 0x14, 2, 25000},
                                {sectorAddress(2), 0x14, 3, 40000}};
    const _direntry item{0, 0x16, 7, 30000};
    Plan plan;
    ASSERT_TRUE(PlanPlacement(list, {item}, 3, {4, map.data()}, plan));
    EXPECT_EQ(plan.bestDepth, 1);
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_EQ(+plan.steps[0].id, 7u);
    EXPECT_EQ(plan.steps[0].sector, 1);
    EXPECT_EQ(+plan.steps[1].id, 1u);
    EXPECT_EQ(plan.steps[1].sector, 2);
    for (const PlanStep& s : plan.steps) EXPECT_NE(s.sector, 3);
    // Nothing fits anywhere: a whole sector's worth.
    EXPECT_FALSE(PlanPlacement(list, {_direntry{0, 0x16, 8, 65400}}, 3, {4, map.data()}, plan));
}

TEST(Planner, SortsTheWorkingListLargestFirstKeepingTies) {
    const auto map = plannerMap(8);
    std::vector<_direntry> list{{sectorAddress(1), 1, 1, 10}, {sectorAddress(1), 1, 2, 30}, {sectorAddress(1), 1, 3, 10},
                                {sectorAddress(2), 1, 4, 30}};
    Plan plan;
    ASSERT_TRUE(PlanPlacement(list, {_direntry{0, 2, 9, 5}}, 0, {8, map.data()}, plan));
    std::vector<unsigned> ids;
    for (const _direntry& e : list) ids.push_back(+e.id);
    EXPECT_EQ(ids, (std::vector<unsigned>{2, 4, 1, 3}));
}

TEST(Planner, RefusesMoreThanAPlanHolds) {
    const auto map = plannerMap(64);
    std::vector<_direntry> list;
    std::vector<_direntry> items(51, _direntry{0, 3, 1, 10});
    Plan plan;
    EXPECT_FALSE(PlanPlacement(list, items, 0, {64, map.data()}, plan));
    items.resize(50);
    EXPECT_TRUE(PlanPlacement(list, items, 0, {64, map.data()}, plan));
    EXPECT_EQ(plan.steps.size(), 50u);
}

} // namespace

namespace {

// Crowded 256-entry directories whose sizes come in a few kinds: the bounds
// cut most searches short, not all; none may run past the limit.
TEST(Planner, SearchesTheBoundsCannotCutShortStopAtTheLimit) {
    std::mt19937 rng(3);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::array<uint8_t, 256> map{};
    std::fill_n(map.begin(), 64, uint8_t{1});
    size_t gaveUp = 0;
    for (int c = 0; c < 400 && gaveUp == 0; ++c) {
        const int share = (65000 - pick(300, 12000)) / 4;
        const int kind = pick(0, 2);
        std::vector<_direntry> list;
        for (int s = 1; s < 64; ++s) {
            uint32_t at = 0;
            for (int k = 0; k < 4; ++k) {
                int n = kind == 0 ? (k % 2 ? share / 2 : share * 3 / 2) : kind == 1 ? share - pick(0, 60) : share - ((s + k) % 2) * 7;
                n = std::min<int>(n, 65400 - static_cast<int>(at));
                list.push_back({sectorAddress(s) + at, 0x14, static_cast<unsigned>(list.size() + 1), static_cast<uint16_t>(n)});
                at += static_cast<uint32_t>(n);
            }
        }
        const auto item = static_cast<uint16_t>(std::min(65535, 65535 - 4 * share + pick(1, 30000)));
        Plan plan;
        PlanStats stats;
        const bool planned = PlanPlacement(list, {_direntry{0, 0x16, 9000, item}}, 0, {64, map.data()}, plan, &stats);
        EXPECT_LE(stats.nodes + stats.trials, 25000u);
        if (stats.gaveUp) {
            EXPECT_FALSE(planned);
            ++gaveUp;
        }
    }
    EXPECT_GT(gaveUp, 0u);
}

} // namespace
