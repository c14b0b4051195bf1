#include "change_start.h"

#include "../link/clock.h"
#include "../link/status.h"
#include "../link/transport.h"
#include "cancel.h"
#include "directory_format.h"
#include "flash_errors.h"
#include "rotation.h"

#include <cstdio>

namespace zel {

bool beginChange(int unit, ChangeKind kind, ChangeStart& start) {
    if (!record(unit)) return false;
    if (kind == ChangeKind::Write) clearCancel(unit);
    postStatus(unit, ZEL_STATUS_ITEM_BEGIN, 0, 0);
    start.directory = readDirectory(unit);
    if (start.directory.result < 0) {
        orOperation(unit, kDirectoryUnreadableOp);
        return false;
    }
    const DirectoryRead& d = start.directory;
    start.spare = FindSpareSector(d.entries.data(), d.entries.size(), d.sectorCount, d.directorySector, d.map.data());
    if (start.spare < 0) {
        std::printf(kind == ChangeKind::Write ? "no empty found!!!\n" : "No empty sector found!!!\n");
        return false;
    }
    std::printf("candidate sector: %d\n", start.spare);
    return true;
}

bool retireStrayDirectories(int unit, const DirectoryRead& d) {
    if (d.directorySector < 0) return true;
    for (int s = d.directorySector + 1; s < d.sectorCount && s < 256; ++s) {
        if (!d.map[static_cast<size_t>(s)]) continue;
        unsigned char top[2] = {};
        unsigned short n = 2;
        if (!ZELReadMemory(unit, sectorAddress(s) + kRetireOffset, top, n)) return false;
        if (!isValidMarker(top[0], top[1])) continue;
        unsigned char retired = kRetired;
        if (!ZELWriteMemory(unit, sectorAddress(s) + kRetireOffset, &retired, 1)) return false;
        fixedWait(100);
    }
    return true;
}

} // namespace zel
