// Sounds and maps: which ones the unit holds, and writing a set of maps that
// become maps (type 0x03) only with the write's last directory.
#include "../link/status.h"
#include "../link/transport.h"
#include "cancel.h"
#include "change_start.h"
#include "directory_format.h"
#include "flash_errors.h"
#include "item_write.h"
#include "place_item.h"
#include "rotation.h"
#include "zelusb.h"

#include <cstdio>

using namespace zel;

namespace {

constexpr uint8_t kMap = 0x03;
constexpr uint8_t kMapInProgress = 0xFE;
constexpr size_t kMostMaps = kMaxPlanSteps - kMaxRelocations; // a plan holds 50 steps

bool isMapOfSet(const _direntry& e, unsigned int mapSet) { return e.type == kMap && (e.id & 0xFF00u) == mapSet << 8; }

// The old maps of the set that the new ones replace.
bool isSuperseded(const _direntry& e, unsigned int mapSet, unsigned int newLow) {
    return isMapOfSet(e, mapSet) && (e.id & 0xFFu) != newLow;
}

// The last directory write: every map of the set not of the new low byte
// goes, every map written turns into a map.
int commit(int unit, const Execution& ex, unsigned int mapSet, unsigned int newLow) {
    std::vector<_direntry> final;
    for (_direntry e : ex.working) {
        if (isSuperseded(e, mapSet, newLow)) continue;
        if (e.type == kMapInProgress) e.type = kMap;
        final.push_back(e);
    }
    const int directorySector = ex.directorySector;
    Rotation r = planRotation(std::move(final), ex.spare, [&](const _direntry& e) {
        return directorySector >= 0 && sectorOf(e.address) == directorySector;
    });
    if (!roomFor(r.nextFree, r.list.size(), 0)) {
        std::printf("Cannot copy. Not enough space in destination sector.\n");
        setError(unit, kNoRoom, 0);
        return 0;
    }
    postStatus(unit, ZEL_STATUS_ERASE_BEGIN, 0, 0);
    if (!eraseSector(unit, ex.spare)) return 0;
    if (!copyItems(unit, r.copies, {true, false})) return 0;
    if (!writeDirectory(unit, ex.spare, directorySector, r.list)) return 0;
    postStatus(unit, ZEL_STATUS_ITEM_END, 0, 0);
    return 1;
}

} // namespace

int ZELGetSoundsAndMap(int unit, _ZEL_SOUNDS* sounds, unsigned int* map) {
    if (!record(unit) || !sounds || !map) return 0;
    const DirectoryRead d = readDirectory(unit);
    if (d.result < 0) {
        orOperation(unit, kDirectoryUnreadableOp);
        return 0;
    }
    *sounds = _ZEL_SOUNDS{};
    *map = 0;
    for (const _direntry& e : d.entries) {
        switch (e.type) {
        case 0x01:
        case 0x02:
        case 0x03: *map = e.id; break;
        case 0x14: sounds->sound20 = e.id; break;
        case 0x17: sounds->sound23 = e.id; break;
        case 0x16: sounds->sound22 = e.id; break;
        case 0x18: sounds->sound24 = e.id; break;
        case 0x19: sounds->sound25 = e.id; break;
        case 0x1E: sounds->sound30 = e.id; break;
        case 0x1F: sounds->sound31 = e.id; break;
        default: break;
        }
    }
    return 1;
}

int ZELWriteMaps(int unit, _direntry* maps, unsigned char** contents, int count, unsigned int mapSet,
                 DisplacementCallback onDisplace) {
    if (!record(unit) || count < 0 || (count > 0 && (!maps || !contents))) return 0;
    clearCancel(unit);
    const auto n = static_cast<size_t>(count);
    for (size_t i = 0; i < n; ++i)
        if ((maps[i].id & 0xFF00u) != mapSet << 8) return 0;
    if (n > kMostMaps) {
        std::printf("Too many maps: %d (at most %u)\n", count, static_cast<unsigned>(kMostMaps));
        setError(unit, kNoRoom, 0);
        return 0;
    }
    for (size_t i = 0; i < n; ++i)
        if (!contents[i] && maps[i].size) return 0;
    const unsigned int newLow = n ? maps[n - 1].id & 0xFFu : 0;

    postStatus(unit, ZEL_STATUS_ITEM_BEGIN, 0, 0);
    ChangeStart start;
    start.directory = readDirectory(unit);
    if (start.directory.result < 0) {
        orOperation(unit, kDirectoryUnreadableOp);
        return 0;
    }
    const DirectoryRead& d = start.directory;
    auto isNewId = [&](unsigned int id) {
        for (size_t i = 0; i < n; ++i)
            if (maps[i].id == id) return true;
        return false;
    };
    std::vector<_direntry> working;
    for (const _direntry& e : d.entries)
        if (e.type != kMapInProgress && e.type != 0 && !isNewId(e.id)) working.push_back(e);
    // The spare is erased while the directory as read is still the valid one:
    // rather a sector it does not list at all than one holding only entries
    // this write drops (a map it replaces, leftovers of an interrupted write).
    start.spare = FindSpareSector(d.entries.data(), d.entries.size(), d.sectorCount, d.directorySector, d.map.data());
    if (start.spare < 0)
        start.spare = FindSpareSector(working.data(), working.size(), d.sectorCount, d.directorySector, d.map.data());
    if (start.spare < 0) return 0;

    NewItems items;
    for (size_t i = 0; i < n; ++i) {
        maps[i].type = kMapInProgress;
        items.entries.push_back(maps[i]);
        items.contents.push_back(contents[i]);
    }
    Plan plan;
    Execution ex;
    std::vector<_direntry> attempt = working;
    if (!planAndCheck(unit, start, attempt, items, onDisplace != nullptr, plan, ex)) {
        // Without the set's older maps, which the commit removes anyway.
        attempt.clear();
        for (const _direntry& e : working)
            if (!isSuperseded(e, mapSet, newLow)) attempt.push_back(e);
        if (!planAndCheck(unit, start, attempt, items, onDisplace != nullptr, plan, ex)) {
            setError(unit, kNoRoom, 0);
            return 0;
        }
    }
    if (!retireStrayDirectories(unit, d)) return 0;
    if (!executePlan(unit, ex, plan, items, onDisplace)) return 0;
    return commit(unit, ex, mapSet, newLow);
}

int ZELWriteMap(int unit, _direntry* maps, unsigned char** contents, int count, unsigned int mapSet,
                unsigned char ignored) {
    (void)ignored;
    return ZELWriteMaps(unit, maps, contents, count, mapSet, nullptr);
}
