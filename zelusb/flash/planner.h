// Placement planning: which sector each new item goes to, and which existing
// items (at most five) move first to make room. Pure: plain records in, a
// plan out. The search is the best-fit search with bounded relocations that
// FORMAT.md outlines; this implementation prunes what cannot hold a plan and
// returns exactly the plan the plain search would.
#pragma once

#include "zelusb.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zel {

constexpr int kMaxRelocations = 5;
constexpr size_t kMaxPlanSteps = 50;
constexpr size_t kMaxWorkingList = 256;

struct FreeSpace {
    int sector = 0;
    uint16_t free = 0;
};

struct PlanStep {
    unsigned int id = 0;
    unsigned char type = 0;
    int sector = 0; // destination
};

struct Plan {
    int bestDepth = 50;                 // relocations in the plan found
    uint32_t directorySize = 0;         // for every entry after the change
    std::vector<FreeSpace> table;       // free space per sector, largest first, the spare first
    std::vector<PlanStep> steps;        // the new items, largest first, then the relocations
};

struct Geometry {
    int sectorCount = 0;
    const uint8_t* sectorMap = nullptr; // 256 bytes
};

// What the search did, for the benchmark.
struct PlanStats {
    uint64_t nodes = 0;  // partial relocation sets looked at
    uint64_t trials = 0; // complete placements tried
    bool gaveUp = false; // the search reached its limit (no plan)
};

// Sorts `list` by size, largest first (stable): the order of the new
// directory. Fails when no plan of at most five relocations (and at most 50
// steps) places every item; more than 50 items or 256 entries always fail,
// and so does a list whose entries add up to more than a sector holds
// (overlapping items: a damaged directory, on which a search could run for
// hours). The search looks at 25000 relocation sets at most: where the
// plain search would go on longer (up to billions of branches, hours), this
// one stops and finds no plan, and says so in `stats`.
bool PlanPlacement(std::vector<_direntry>& list, std::vector<_direntry> items, int spare, const Geometry& geometry,
                   Plan& plan, PlanStats* stats = nullptr);

// Whether each sector's entries add up to no more than the sector holds.
bool entriesFitTheirSectors(const std::vector<_direntry>& list, const Geometry& geometry);

// The free-space table of `list` before any sorting: sector order, 65535 for
// a present sector less the sizes of its live entries, 0 for an absent one.
std::vector<FreeSpace> freeSpaceTable(const std::vector<_direntry>& list, const Geometry& geometry);

} // namespace zel
