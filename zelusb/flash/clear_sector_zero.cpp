// Emptying sector 0 before a firmware image goes there: its items move into
// the spare with the directory, then the sector is erased.
#include "../link/status.h"
#include "../link/transport.h"
#include "cancel.h"
#include "directory_format.h"
#include "directory_io.h"
#include "flash_errors.h"
#include "rotation.h"
#include "zelusb.h"

#include <cstdio>

using namespace zel;

int ZELClearSectorZero(int unit) {
    if (!record(unit)) return 0;
    clearCancel(unit);
    postStatus(unit, ZEL_STATUS_ITEM_BEGIN, 0, 0);
    DirectoryRead d = readDirectory(unit);
    if (d.result < 0) {
        orOperation(unit, kDirectoryUnreadableOp);
        return 0;
    }
    const int spare =
        FindSpareSector(d.entries.data(), d.entries.size(), d.sectorCount, d.directorySector, d.map.data());
    if (spare < 0) return 0;
    if (spare != 0) {
        Rotation r = planRotation(d.entries, spare, [](const _direntry& e) { return e.address < 0x10000u; });
        // Sector 0's items and the whole directory must fit in the spare.
        if (!roomFor(r.nextFree, r.list.size(), 0)) {
            std::printf("Cannot copy. Not enough space in destination sector.\n");
            setError(unit, kNoRoom, 0);
            return 0;
        }
        postStatus(unit, ZEL_STATUS_ERASE_BEGIN, 0, 0);
        if (!ZELEraseMemory(unit, sectorAddress(spare))) return 0;
        if (!copyItems(unit, r.copies, {})) return 0;
        if (!writeDirectory(unit, spare, d.directorySector, r.list)) return 0;
        postStatus(unit, ZEL_STATUS_ITEM_END, 0, 0);
    }
    return ZELEraseMemory(unit, 0);
}
