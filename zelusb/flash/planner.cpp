// The placement search.
//
// What is searched: the working list is sorted largest first and the items to
// place likewise; a candidate plan relocates a set of list entries, taken in
// list order (i1 < i2 < ... , at most five). For such a set the free-space
// table gets each relocated entry's size back (its sector moving forward
// past sectors with less room, never before the spare), then every item (the
// new ones, then the relocated ones) goes by best fit to the fullest sector
// that still has room for it plus a whole directory. The plain search walks
// these sets depth first in list order and keeps a plan only when it needs
// fewer relocations than the one it holds, so its answer is the first set in
// list order among those of the fewest relocations that place everything.
//
// This search returns that same set by looking at 0, 1, ... 5 relocations in
// turn, walking the sets of one size in the same order, and skipping a whole
// branch only when no set in it can place everything:
//  - room: the largest new item needs one sector with room for it, even if
//    the branch's remaining relocations all came from that sector;
//  - counting: for a threshold x, every item of size s takes floor(s/x) of
//    the floor(room/x) "slots" of the sector it goes to; relocating an entry
//    frees as many slots as it takes, plus at most one (the knapsack over
//    sectors of the leftovers below x says exactly how many, at the top);
//  - twins: two entries of the same size in the same sector lead to the same
//    tables, so the second one's branch is the first one's again.
// When they cannot cut a search short, it stops after a fixed number of
// relocation sets and finds no plan (the plain search would take hours).
// Those bounds need exact sums: a list whose sectors' entries add up to more
// than 65535 bytes (overlapping items) is not searched at all.
#include "planner.h"

#include "directory_format.h"

#include <algorithm>
#include <array>
#include <bitset>

namespace zel {

std::vector<FreeSpace> freeSpaceTable(const std::vector<_direntry>& list, const Geometry& g) {
    const int n = std::clamp(g.sectorCount, 0, 256);
    std::vector<FreeSpace> table(static_cast<size_t>(n));
    for (int s = 0; s < n; ++s) table[static_cast<size_t>(s)] = {s, static_cast<uint16_t>(g.sectorMap[s] ? 0xFFFF : 0)};
    for (const _direntry& e : list) {
        const int s = sectorOf(e.address);
        if (e.type != 0 && s < n && g.sectorMap[s])
            table[static_cast<size_t>(s)].free = static_cast<uint16_t>(table[static_cast<size_t>(s)].free - e.size);
    }
    return table;
}

namespace {

constexpr int kNoPosition = -1;
// Relocation sets looked at before the search gives up: some 20 ms on a PC.
// Where the bounds cannot cut a search short it would otherwise take hours.
constexpr uint64_t kSearchBudget = 25000;
constexpr size_t kNodeThresholds = 8;
constexpr size_t kRootThresholds = 96;

void sortLargestFirst(std::vector<_direntry>& v) {
    std::stable_sort(v.begin(), v.end(), [](const _direntry& a, const _direntry& b) { return a.size > b.size; });
}

// Slots of size x in a sector whose free space is `free`.
int64_t slots(int64_t free, int64_t directory, int64_t x) {
    const int64_t room = free - directory;
    return room >= 0 ? room / x : 0;
}

struct Placed {
    int sector;
    uint16_t size;
    int from; // position before the move
};

class Search {
public:
    Search(const std::vector<_direntry>& list, const std::vector<_direntry>& items, const std::vector<FreeSpace>& table,
           uint32_t directorySize, PlanStats& stats)
        : list_(list), items_(items), dir_(directorySize), stats_(stats), n_(static_cast<int>(table.size())) {
        posOf_.fill(kNoPosition);
        for (int p = 0; p < n_; ++p) {
            sec_.push_back(table[static_cast<size_t>(p)].sector);
            free_.push_back(table[static_cast<size_t>(p)].free);
            posOf_[static_cast<size_t>(sec_.back())] = p;
        }
        prepareBounds();
    }

    // The first set of `depth` relocations, in list order, that places everything.
    bool find(int depth, std::vector<PlanStep>& steps) {
        if (!rootAllows(depth)) return false;
        depth_ = depth;
        chosen_.clear();
        return node(0, 0, steps);
    }

private:
    const std::vector<_direntry>& list_;
    const std::vector<_direntry>& items_;
    int64_t dir_;
    PlanStats& stats_;
    int n_;
    std::vector<int> sec_;
    std::vector<uint16_t> free_;
    std::array<int, 256> posOf_{};
    int depth_ = 0;
    std::vector<size_t> chosen_;
    std::vector<Placed> placed_;

    // Bounds.
    struct Threshold {
        int64_t x = 1;
        int64_t items = 0;      // slots the items placed so far take
        int64_t room = 0;       // slots the table offers
        std::array<int64_t, kMaxRelocations + 1> gain{}; // at the top: most slots d relocations can add
        std::array<int64_t, kMaxRelocations + 1> lost{}; // at the top: a slot a new item must waste
    };
    std::vector<Threshold> root_, node_;
    std::vector<std::array<int64_t, kMaxRelocations + 1>> best_; // [t][r]: best room from r more of index >= t
    std::array<std::vector<size_t>, 256> bySector_;
    std::array<std::vector<int64_t>, 256> sumsBySector_;

    int positionOf(const _direntry& e) const {
        const int s = sectorOf(e.address);
        return s < 256 ? posOf_[static_cast<size_t>(s)] : kNoPosition;
    }
    int64_t firstItem() const { return items_.empty() ? 0 : items_.front().size; }

    void swapPositions(int a, int b) {
        std::swap(sec_[static_cast<size_t>(a)], sec_[static_cast<size_t>(b)]);
        std::swap(free_[static_cast<size_t>(a)], free_[static_cast<size_t>(b)]);
        posOf_[static_cast<size_t>(sec_[static_cast<size_t>(a)])] = a;
        posOf_[static_cast<size_t>(sec_[static_cast<size_t>(b)])] = b;
    }
    uint16_t& freeAt(int p) { return free_[static_cast<size_t>(p)]; }

    // An entry's size back to its sector, which moves forward past sectors
    // with less room but never into position 0.
    int giveBack(const _direntry& e) {
        int p = positionOf(e);
        if (p == kNoPosition) return kNoPosition;
        const int from = p;
        freeAt(p) = static_cast<uint16_t>(freeAt(p) + e.size);
        while (p > 1 && freeAt(p - 1) < freeAt(p)) {
            swapPositions(p - 1, p);
            --p;
        }
        return from;
    }
    void takeBack(const _direntry& e, int from) {
        if (from == kNoPosition) return;
        int p = positionOf(e);
        while (p < from) {
            swapPositions(p, p + 1);
            ++p;
        }
        freeAt(p) = static_cast<uint16_t>(freeAt(p) - e.size);
    }

    // Best fit: the last position from 1 on, in one run, with room for the
    // item and a directory. 0 when position 1 already has too little.
    int bestFit(uint16_t size) const {
        const int64_t need = dir_ + size;
        int lo = 1, hi = n_; // positions 1.. are sorted largest first
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (free_[static_cast<size_t>(mid)] >= need) lo = mid + 1;
            else hi = mid;
        }
        return lo - 1;
    }

    bool place(const _direntry& e, std::vector<PlanStep>* steps) {
        int p = bestFit(e.size);
        if (p < 1) return false;
        placed_.push_back({sec_[static_cast<size_t>(p)], e.size, p});
        freeAt(p) = static_cast<uint16_t>(freeAt(p) - e.size);
        while (p + 1 < n_ && freeAt(p + 1) > freeAt(p)) {
            swapPositions(p, p + 1);
            ++p;
        }
        if (steps) steps->push_back({e.id, e.type, sec_[static_cast<size_t>(p)]});
        return true;
    }
    void unplaceAll() {
        while (!placed_.empty()) {
            const Placed u = placed_.back();
            placed_.pop_back();
            int p = posOf_[static_cast<size_t>(u.sector)];
            while (p > u.from) {
                swapPositions(p - 1, p);
                --p;
            }
            freeAt(p) = static_cast<uint16_t>(freeAt(p) + u.size);
        }
    }

    // Every item, then every relocated entry, in the table as it stands.
    bool trial(std::vector<PlanStep>& steps) {
        ++stats_.trials;
        std::vector<PlanStep> found;
        bool all = true;
        for (const _direntry& e : items_)
            if (!(all = place(e, &found))) break;
        for (size_t i = 0; all && i < chosen_.size(); ++i) all = place(list_[chosen_[i]], &found);
        unplaceAll();
        if (all) steps = std::move(found);
        return all;
    }

    bool node(int taken, size_t first, std::vector<PlanStep>& steps) {
        const int left = depth_ - taken;
        if (stats_.gaveUp || stats_.nodes + stats_.trials >= kSearchBudget) {
            stats_.gaveUp = true;
            return false;
        }
        if (left == 0) return trial(steps);
        ++stats_.nodes;
        if (taken > 0 && !nodeAllows(left, first)) return false;
        const size_t L = list_.size();
        std::bitset<257> tried;
        int runSize = -1;
        for (size_t i = first; i + static_cast<size_t>(left) <= L; ++i) {
            const _direntry& e = list_[i];
            if (e.size != runSize) {
                runSize = e.size;
                tried.reset();
            }
            const int p = positionOf(e);
            const size_t twin = p == kNoPosition ? 256 : static_cast<size_t>(sectorOf(e.address));
            if (tried[twin]) continue;
            const int oldFree = p == kNoPosition ? 0 : free_[static_cast<size_t>(p)];
            const int from = giveBack(e);
            countRelocation(e, p, oldFree, +1);
            chosen_.push_back(i);
            const bool found = node(taken + 1, i + 1, steps);
            chosen_.pop_back();
            countRelocation(e, p, oldFree, -1);
            takeBack(e, from);
            if (found) return true;
            tried[twin] = true;
        }
        return false;
    }

    // --- bounds ---------------------------------------------------------------

    void prepareBounds() {
        const size_t L = list_.size();
        for (size_t i = 0; i < L; ++i) {
            const int p = positionOf(list_[i]);
            if (p == kNoPosition || p == 0) continue;
            const auto s = static_cast<size_t>(sectorOf(list_[i].address));
            bySector_[s].push_back(i);
        }
        for (size_t s = 0; s < 256; ++s) {
            sumsBySector_[s].assign(1, 0);
            for (size_t i : bySector_[s]) sumsBySector_[s].push_back(sumsBySector_[s].back() + list_[i].size);
        }
        // best_[t][r]: the most room a sector can have from r relocations of index >= t.
        best_.assign(L + 1, {});
        int64_t emptiest = 0;
        for (int p = 1; p < n_; ++p) emptiest = std::max<int64_t>(emptiest, free_[static_cast<size_t>(p)]);
        best_[L].fill(emptiest);
        std::array<std::vector<int64_t>, 256> front; // each sector's first sizes from index t on
        for (size_t t = L; t-- > 0;) {
            best_[t] = best_[t + 1];
            const int p = positionOf(list_[t]);
            if (p == kNoPosition || p == 0) continue;
            auto& f = front[static_cast<size_t>(sectorOf(list_[t].address))];
            f.insert(f.begin(), list_[t].size);
            if (f.size() > kMaxRelocations) f.pop_back();
            int64_t room = free_[static_cast<size_t>(p)];
            for (size_t r = 1; r <= kMaxRelocations; ++r) {
                if (r <= f.size()) room += f[r - 1];
                best_[t][r] = std::max(best_[t][r], room);
            }
        }
        chooseThresholds();
    }

    void chooseThresholds() {
        std::vector<int64_t> xs{1};
        for (const _direntry& e : items_)
            if (e.size) xs.push_back(e.size);
        std::vector<int64_t> sizes;
        for (const _direntry& e : list_)
            if (e.size) sizes.push_back(e.size);
        std::sort(sizes.begin(), sizes.end());
        sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
        if (sizes.size() > kRootThresholds) {
            std::vector<int64_t> some;
            for (size_t k = 0; k < kRootThresholds; ++k) some.push_back(sizes[k * sizes.size() / kRootThresholds]);
            sizes = some;
        }
        xs.insert(xs.end(), sizes.begin(), sizes.end());
        std::sort(xs.begin(), xs.end());
        xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
        for (int64_t x : xs) root_.push_back(threshold(x));
        // Along the branches: the tightest of them, the size of the largest item and 1.
        std::vector<Threshold> byTightness = root_;
        std::stable_sort(byTightness.begin(), byTightness.end(), [](const Threshold& a, const Threshold& b) {
            return a.room - a.items < b.room - b.items;
        });
        for (const Threshold& t : byTightness) {
            if (node_.size() >= kNodeThresholds) break;
            node_.push_back(t);
        }
        for (int64_t must : {int64_t{1}, firstItem()}) {
            if (must < 1) continue;
            const bool present = std::any_of(node_.begin(), node_.end(), [&](const Threshold& t) { return t.x == must; });
            if (!present) {
                if (node_.size() >= kNodeThresholds) node_.pop_back();
                node_.push_back(threshold(must));
            }
        }
    }

    Threshold threshold(int64_t x) const {
        Threshold t;
        t.x = x;
        int64_t heaviest = -1; // the largest leftover below x of a new item
        for (const _direntry& e : items_) {
            t.items += e.size / x;
            heaviest = std::max<int64_t>(heaviest, e.size % x);
        }
        for (int p = 1; p < n_; ++p) t.room += slots(free_[static_cast<size_t>(p)], dir_, x);
        // Most slots d relocations can add: per sector, the leftovers below x
        // of its room and of its largest-leftover entries; then a knapsack.
        // And the largest leftover of room a sector can have after them: a
        // new item whose leftover is larger wastes a slot wherever it goes.
        std::array<int64_t, kMaxRelocations + 1> best{}, widest{};
        widest.fill(-1);
        for (int p = 1; p < n_; ++p) {
            const auto s = static_cast<size_t>(sec_[static_cast<size_t>(p)]);
            const int64_t room = free_[static_cast<size_t>(p)] - dir_;
            if (room >= 0) widest[0] = std::max(widest[0], room % x);
            const size_t m = std::min<size_t>(bySector_[s].size(), kMaxRelocations);
            std::vector<int64_t> beta, size;
            for (size_t i : bySector_[s]) {
                beta.push_back(list_[i].size % x);
                size.push_back(list_[i].size);
            }
            std::partial_sort(beta.begin(), beta.begin() + static_cast<std::ptrdiff_t>(m), beta.end(), std::greater<>());
            std::partial_sort(size.begin(), size.begin() + static_cast<std::ptrdiff_t>(m), size.end(), std::greater<>());
            std::array<int64_t, kMaxRelocations + 1> gain{};
            int64_t leftovers = room >= 0 ? room % x : 0, freed = room;
            for (size_t k = 1; k <= kMaxRelocations; ++k) {
                if (k <= m) {
                    leftovers += beta[k - 1];
                    freed += size[k - 1];
                }
                gain[k] = k <= m ? leftovers / x : gain[k - 1];
                const int64_t left = room >= 0 ? std::min(x - 1, leftovers) : freed >= 0 ? std::min(x - 1, freed) : -1;
                widest[k] = std::max({widest[k], widest[k - 1], left});
            }
            if (m == 0) continue;
            for (size_t b = kMaxRelocations; b >= 1; --b)
                for (size_t k = 1; k <= b; ++k) best[b] = std::max(best[b], best[b - k] + gain[k]);
        }
        t.gain = best;
        for (size_t d = 0; d <= kMaxRelocations; ++d) t.lost[d] = heaviest > widest[d] ? 1 : 0;
        return t;
    }

    bool rootAllows(int depth) const {
        const auto d = static_cast<size_t>(depth);
        if (!items_.empty() && best_[0][d] < dir_ + firstItem()) return false;
        for (const Threshold& t : root_)
            if (t.items + t.lost[d] > t.room + t.gain[d]) return false;
        return true;
    }

    bool nodeAllows(int left, size_t first) {
        const auto r = static_cast<size_t>(left);
        if (!items_.empty()) {
            int64_t room = best_[first][r];
            for (size_t i : chosen_) {
                const int p = positionOf(list_[i]);
                if (p == kNoPosition || p == 0) continue;
                const auto s = static_cast<size_t>(sectorOf(list_[i].address));
                const auto& idx = bySector_[s];
                const auto j = static_cast<size_t>(std::lower_bound(idx.begin(), idx.end(), first) - idx.begin());
                const size_t k = std::min(idx.size(), j + r);
                room = std::max(room, free_[static_cast<size_t>(p)] + sumsBySector_[s][k] - sumsBySector_[s][j]);
            }
            if (room < dir_ + firstItem()) return false;
        }
        for (const Threshold& t : node_)
            if (t.items > t.room + left) return false;
        return true;
    }

    // Keeps the counting bounds along the branch; `p` and `oldFree` as they
    // were before the entry's size came back.
    void countRelocation(const _direntry& e, int p, int oldFree, int sign) {
        for (Threshold& t : node_) {
            t.items += sign * (e.size / t.x);
            if (p != kNoPosition && p != 0)
                t.room += sign * (slots(oldFree + e.size, dir_, t.x) - slots(oldFree, dir_, t.x));
        }
    }
};

} // namespace

// Every sector's free space stays within 0..65535 whatever is relocated.
bool entriesFitTheirSectors(const std::vector<_direntry>& list, const Geometry& g) {
    const int n = std::clamp(g.sectorCount, 0, 256);
    std::array<int64_t, 256> live{}, all{};
    for (const _direntry& e : list) {
        const int s = sectorOf(e.address);
        if (s >= n) continue;
        all[static_cast<size_t>(s)] += e.size;
        if (e.type != 0 && g.sectorMap[s]) live[static_cast<size_t>(s)] += e.size;
    }
    for (int s = 0; s < n; ++s) {
        const int64_t free = (g.sectorMap[s] ? 0xFFFF : 0) - live[static_cast<size_t>(s)];
        if (free < 0 || free + all[static_cast<size_t>(s)] > 0xFFFF) return false;
    }
    return true;
}

bool PlanPlacement(std::vector<_direntry>& list, std::vector<_direntry> items, int spare, const Geometry& geometry,
                   Plan& plan, PlanStats* stats) {
    PlanStats local;
    PlanStats& st = stats ? *stats : local;
    plan.bestDepth = 50;
    plan.directorySize = DirectorySize(list.size() + items.size());
    plan.steps.clear();
    plan.table = freeSpaceTable(list, geometry);
    std::stable_sort(plan.table.begin(), plan.table.end(), [&](const FreeSpace& a, const FreeSpace& b) {
        if ((a.sector == spare) != (b.sector == spare)) return a.sector == spare;
        return a.free > b.free;
    });
    sortLargestFirst(list);
    sortLargestFirst(items);
    if (items.size() > kMaxPlanSteps || list.size() > kMaxWorkingList || !entriesFitTheirSectors(list, geometry))
        return false;

    Search search(list, items, plan.table, plan.directorySize, st);
    const int deepest = std::min<int>(kMaxRelocations, static_cast<int>(kMaxPlanSteps - items.size()));
    for (int depth = 0; depth <= deepest; ++depth) {
        std::vector<PlanStep> steps;
        if (st.gaveUp) break;
        if (search.find(depth, steps)) {
            plan.steps = std::move(steps);
            plan.bestDepth = depth;
            return true;
        }
    }
    return false;
}

} // namespace zel
