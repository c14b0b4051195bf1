#include "vfactory/logfiles.h"

#include <algorithm>

namespace vfactory {

// Every file keeps 2560 bytes of its sector free, the log space as a whole
// keeps a reserve, and the first untouched sector is left empty as the spare
// the unit's next directory change will need.
std::vector<PlannedFile> planLogFiles(const std::array<uint8_t, vunit::kMaxSectors>& map, int sectorCount,
                                      const std::vector<DirEntry>& entries) {
    std::array<uint16_t, vunit::kMaxSectors> free{};
    uint8_t usable = 0; // 8 bits, as the export program counts it
    for (int s = 0; s < vunit::kMaxSectors; ++s) {
        const auto i = static_cast<std::size_t>(s);
        free[i] = map[i] ? 0xFFFF : 0;
        if (s < sectorCount && map[i]) ++usable;
    }
    int64_t total = (int64_t{usable} - 1) * 65536;
    const int64_t reserve = int64_t{usable} * 768 + 16384;
    const int64_t cap = reserve + 481800;

    for (const DirEntry& e : entries) {
        const int s = sectorOf(e.address);
        if (s >= 255 || e.type == 0xFF) continue;
        free[static_cast<std::size_t>(s)] = static_cast<uint16_t>(free[static_cast<std::size_t>(s)] - e.size);
        total -= e.size;
    }
    total = std::min(total, cap);

    std::vector<PlannedFile> plan;
    bool sparePassed = false;
    for (int s = 0; s < vunit::kMaxSectors; ++s) {
        const auto i = static_cast<std::size_t>(s);
        if (!map[i]) continue;
        if (free[i] == 0xFFFF && !sparePassed) {
            sparePassed = true;
            continue;
        }
        const int64_t size = std::min<int64_t>(int64_t{free[i]} - 2560, total - reserve);
        if (size > 128) {
            plan.push_back({s, static_cast<uint16_t>(size)});
            total -= size;
        }
    }
    return plan;
}

} // namespace vfactory
