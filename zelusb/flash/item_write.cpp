// Writing an item, or replacing every item of its type: plan, check the plan
// in the order it will run, then carry it out.
#include "../link/status.h"
#include "../link/transport.h"
#include "change_start.h"
#include "directory_format.h"
#include "flash_errors.h"
#include "item_write.h"
#include "place_item.h"

#include <cstdio>

namespace zel {

bool planAndCheck(int unit, const ChangeStart& start, std::vector<_direntry>& working, const NewItems& items,
                  bool displaceable, Plan& plan, Execution& ex) {
    if (working.size() + items.entries.size() > kMaxWorkingList || items.entries.size() > kMaxPlanSteps) {
        std::printf("Too many directory entries: %u (at most %u)\n",
                    static_cast<unsigned>(working.size() + items.entries.size()), static_cast<unsigned>(kMaxWorkingList));
        setError(unit, kNoRoom, 0);
        return false;
    }
    std::printf("Required directory size is %u bytes\n", DirectorySize(working.size() + items.entries.size()));
    const Geometry geometry{start.directory.sectorCount, start.directory.map.data()};
    PlanStats stats;
    if (!PlanPlacement(working, items.entries, start.spare, geometry, plan, &stats)) {
        if (stats.gaveUp)
            std::printf("Placement search stopped after %lu relocation sets\n",
                        static_cast<unsigned long>(stats.nodes + stats.trials));
        setError(unit, kNoRoom, 0);
        return false;
    }
    ex.working = working;
    ex.directorySector = start.directory.directorySector;
    ex.spare = start.spare;
    // Steps run last first, and a step may find less room than the plan
    // counted on: see that none does before anything is erased. With a
    // callback such an item is displaced and written again at the end.
    if (!displaceable && !checkPlan(ex, plan, items.entries).ok) {
        std::printf("Cannot copy. Not enough space in destination sector.\n");
        setError(unit, kNoRoom, 0);
        return false;
    }
    return true;
}

} // namespace zel

using namespace zel;

namespace {

enum class Replace { SameTypeAndId, WholeType };

int writeItem(int unit, _direntry item, unsigned char* data, Replace replace, DisplacementCallback onDisplace) {
    if (!data && item.size) return 0; // nothing to write the item from
    ChangeStart start;
    if (!beginChange(unit, ChangeKind::Write, start)) return 0;
    auto dropped = [&](const _direntry& e) {
        if (e.type == 0) return true;
        return e.type == item.type && (replace == Replace::WholeType || e.id == item.id);
    };
    std::vector<_direntry> working;
    for (const _direntry& e : start.directory.entries)
        if (!dropped(e)) working.push_back(e);
    const NewItems items{{item}, {data}};
    Plan plan;
    Execution ex;
    if (!planAndCheck(unit, start, working, items, onDisplace != nullptr, plan, ex)) return 0;
    if (!retireStrayDirectories(unit, start.directory)) return 0;
    if (!executePlan(unit, ex, plan, items, onDisplace)) return 0;
    postStatus(unit, ZEL_STATUS_ITEM_END, 0, 0);
    return 1;
}

} // namespace

int ZELWriteDirectoryItem(int unit, _direntry item, unsigned char* data) {
    return writeItem(unit, item, data, Replace::SameTypeAndId, nullptr);
}

int ZELReplaceDirectoryItemByType(int unit, _direntry item, unsigned char* data) {
    return ZELReplaceDirectoryItemByType(unit, item, data, nullptr);
}

int ZELReplaceDirectoryItemByType(int unit, _direntry item, unsigned char* data, DisplacementCallback onDisplace) {
    return writeItem(unit, item, data, Replace::WholeType, onDisplace);
}
