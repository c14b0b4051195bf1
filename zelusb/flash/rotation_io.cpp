// The two unit-side halves of a rotation: erase the spare, copy items into it.
#include "cancel.h"
#include "directory_format.h"
#include "directory_io.h"

#include <cstdio>

namespace zel {

bool eraseSector(int unit, int sector) {
    std::printf("Erasing addr=%u...", sectorAddress(sector));
    if (!ZELEraseMemory(unit, sectorAddress(sector))) return false;
    std::printf("DONE\n");
    return true;
}

bool copyItems(int unit, const std::vector<MemoryCopy>& copies, CopyOptions options) {
    for (const MemoryCopy& c : copies) {
        if (options.cancellable && cancelRequested(unit)) return false;
        if (options.announce) std::printf("Copying...\n");
        if (!ZELCopyMemory(unit, c.from, c.to, c.count)) return false;
        if (options.announce) std::printf("DONE\n");
    }
    return true;
}

} // namespace zel
