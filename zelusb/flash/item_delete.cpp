// Deleting items: one rotation of a single sector into the spare, with the
// new directory, no plan.
#include "../link/status.h"
#include "../link/transport.h"
#include "change_start.h"
#include "directory_format.h"
#include "flash_errors.h"
#include "rotation.h"
#include "zelusb.h"

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace zel;

namespace {

// The items kept in the rotated sector (the directory sector, or with
// firstEntrysSector the sector of the first entry deleted) move to the spare.
int deleteItems(int unit, const std::function<bool(const _direntry&)>& deleted, bool firstEntrysSector) {
    ChangeStart start;
    if (!beginChange(unit, ChangeKind::Delete, start)) return 0;
    const DirectoryRead& d = start.directory;
    int rotated = d.directorySector;
    if (firstEntrysSector) {
        const _direntry* first = nullptr;
        for (const _direntry& e : d.entries) {
            if (deleted(e)) {
                first = &e;
                break;
            }
        }
        if (!first) {
            std::printf("Item not found in directory\n");
            return 0;
        }
        rotated = sectorOf(first->address);
        std::printf("oldsector: %d\n", rotated);
    }
    std::vector<_direntry> kept;
    for (const _direntry& e : d.entries)
        if (!deleted(e)) kept.push_back(e);
    Rotation r = planRotation(std::move(kept), start.spare,
                              [&](const _direntry& e) { return rotated >= 0 && sectorOf(e.address) == rotated; });
    // The rotated sector need not be the directory sector: its items and the
    // new directory must fit in the spare, or nothing is touched.
    if (!roomFor(r.nextFree, r.list.size(), 0)) {
        std::printf("Cannot copy. Not enough space in destination sector.\n");
        setError(unit, kNoRoom, 0);
        return 0;
    }
    postStatus(unit, ZEL_STATUS_ERASE_BEGIN, 0, 0);
    if (!eraseSector(unit, start.spare)) return 0;
    if (!copyItems(unit, r.copies, {true, false})) return 0;
    if (!writeDirectory(unit, start.spare, d.directorySector, r.list)) return 0;
    postStatus(unit, ZEL_STATUS_ITEM_END, 0, 0);
    return 1;
}

} // namespace

int ZELDeleteItemsByID(int unit, unsigned int ids[], int count) {
    if (count < 0 || (count > 0 && !ids)) return 0;
    return deleteItems(
        unit,
        [&](const _direntry& e) {
            const unsigned int id = e.id; // a packed field: compared by value
            return std::find(ids, ids + count, id) != ids + count;
        },
        false);
}

int ZELDeleteItemsByType(int unit, unsigned int types[], int count) {
    if (count < 0 || (count > 0 && !types)) return 0;
    return deleteItems(
        unit, [&](const _direntry& e) { return std::find(types, types + count, e.type) != types + count; }, false);
}

int ZELDeleteDirectoryItem(int unit, _direntry item) {
    return deleteItems(unit, [&](const _direntry& e) { return e.type == item.type; }, true);
}
