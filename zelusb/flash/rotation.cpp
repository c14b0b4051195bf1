#include "rotation.h"

#include "directory_format.h"

namespace zel {

int FindSpareSector(const _direntry* entries, size_t count, int sectorCount, int directorySector,
                    const uint8_t* sectorMap) {
    std::vector<bool> taken(static_cast<size_t>(sectorCount > 0 ? sectorCount : 0), false);
    for (size_t i = 0; i < count; ++i) {
        const int s = sectorOf(entries[i].address);
        if (s >= sectorCount) return -1;
        taken[static_cast<size_t>(s)] = true;
    }
    for (int s = 0; s < sectorCount && s < 256; ++s)
        if (!taken[static_cast<size_t>(s)] && sectorMap[s] && s != directorySector) return s;
    return -1;
}

Rotation planRotation(std::vector<_direntry> list, int spare, const std::function<bool(const _direntry&)>& moves) {
    Rotation r;
    for (_direntry& e : list) {
        if (!moves(e)) continue;
        const uint32_t to = sectorAddress(spare) + r.nextFree;
        r.copies.push_back({e.address, to, e.size});
        e.address = to;
        r.nextFree += e.size;
    }
    r.list = std::move(list);
    return r;
}

bool roomFor(uint32_t nextFree, size_t entries, uint32_t size) {
    const int64_t room = int64_t{kSectorBytes} - nextFree - DirectorySize(entries);
    return room >= int64_t{size};
}

} // namespace zel
