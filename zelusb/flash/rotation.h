// Sector rotation as data: which sector is the spare, which items move into
// it, where they land, and whether the new directory still fits. Pure; the
// operations carry the result out on the unit.
#pragma once

#include "zelusb.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace zel {

// The lowest present sector that no entry names and that is not the
// directory sector (-1: none); -1 as well when an entry names a sector at or
// past sectorCount.
int FindSpareSector(const _direntry* entries, size_t count, int sectorCount, int directorySector,
                    const uint8_t* sectorMap);

struct MemoryCopy {
    uint32_t from = 0;
    uint32_t to = 0;
    uint16_t count = 0;
};

struct Rotation {
    std::vector<_direntry> list;    // the new directory, in the order given
    std::vector<MemoryCopy> copies; // into the spare, from offset 0 upward
    uint32_t nextFree = 0;          // offset in the spare past the copies
};

// Keeps `list` in order; each entry that `moves` is given the next place in
// `spare` and a copy from where it was.
Rotation planRotation(std::vector<_direntry> list, int spare, const std::function<bool(const _direntry&)>& moves);

// Whether `size` more bytes at nextFree and a directory of `entries` still
// fit in one sector.
bool roomFor(uint32_t nextFree, size_t entries, uint32_t size);

} // namespace zel
