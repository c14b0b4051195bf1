#include "place_item.h"

#include "../link/status.h"
#include "../link/transport.h"
#include "cancel.h"
#include "directory_format.h"
#include "directory_io.h"
#include "flash_errors.h"

#include <cstdio>
#include <memory>

namespace zel {

namespace {

bool stopIfCancelled(int unit) {
    if (!cancelRequested(unit)) return false;
    clearCancel(unit);
    setError(unit, kPlaceStep, 0);
    return true;
}

constexpr size_t kDisplacedBuffer = 65536;
constexpr uint8_t kLogFile = 0x60;

struct Deferred {
    _direntry entry{};
    std::unique_ptr<unsigned char[]> buffer;
    int destination = -1;
};

void announceRedirects(size_t count, int from, int to) {
    for (size_t i = 0; i < count; ++i) std::printf("Updating reference from %d to %d\n", from, to);
}

} // namespace

bool PlaceItem(int unit, Execution& ex, const _direntry& entry, int destination, const unsigned char* data) {
    setError(unit, kPlaceStep, 0);
    if (stopIfCancelled(unit)) return false;
    // Checked before anything is erased: a step without room changes nothing.
    StepPlan step = planStep(ex.working, entry, destination, ex.spare);
    if (!step.room) {
        std::printf("Cannot copy. Not enough space in destination sector.\n");
        setError(unit, kNoRoom, 0);
        return false;
    }
    if (!eraseSector(unit, ex.spare)) return false;
    if (!copyItems(unit, step.rotation.copies, {false, true})) {
        stopIfCancelled(unit);
        return false;
    }
    if (stopIfCancelled(unit)) return false;
    if (data) {
        unsigned long length = entry.size;
        if (!ZELWriteFile(unit, step.entryAddress, length, nullptr, const_cast<unsigned char*>(data))) return false;
    } else if (!ZELCopyMemory(unit, entry.address, step.entryAddress, entry.size)) {
        return false;
    }
    if (stopIfCancelled(unit)) return false;
    if (!writeDirectory(unit, ex.spare, ex.directorySector, step.rotation.list)) return false;
    ex.working = std::move(step.rotation.list);
    ex.directorySector = ex.spare;
    ex.spare = destination;
    setError(unit, kPlaceStep, 0);
    return true;
}

int executePlan(int unit, Execution& ex, const Plan& plan, const NewItems& items, DisplacementCallback onDisplace) {
    std::vector<int> destinations = destinationsOf(plan);
    std::vector<Deferred> deferred;
    std::vector<int> deferredDestinations;
    auto afterStep = [&](int destination) {
        const size_t n = redirect(destinations, destination, ex.directorySector) +
                         redirect(deferredDestinations, destination, ex.directorySector);
        announceRedirects(n, destination, ex.directorySector);
    };
    for (size_t i = plan.steps.size(); i-- > 0;) {
        const auto step = entryOfStep(ex.working, plan.steps[i], items.entries);
        if (!step) return 0;
        const int destination = destinations[i];
        destinations.resize(i); // the steps still to run
        const unsigned char* data = step->newItem ? items.contents[*step->newItem] : nullptr;
        if (PlaceItem(unit, ex, step->entry, destination, data)) {
            afterStep(destination);
            continue;
        }
        // Displacement: the caller supplies the item again, to be written last.
        if (errorCode(unit) != kNoRoom || step->entry.type == kLogFile || !onDisplace) return 0;
        Deferred d;
        d.entry = step->entry;
        d.buffer = std::make_unique<unsigned char[]>(kDisplacedBuffer);
        d.destination = destination;
        int size = static_cast<int>(kDisplacedBuffer);
        if (!onDisplace(step->entry, d.buffer.get(), &size)) return 0;
        if (size < 0 || size > 0xFFFF) return 0; // an item's size is 16 bits
        d.entry.size = static_cast<unsigned short>(size);
        std::erase_if(ex.working, [&](const _direntry& e) { return e.type == d.entry.type && e.id == d.entry.id; });
        deferredDestinations.push_back(d.destination);
        deferred.push_back(std::move(d));
    }
    for (size_t i = 0; i < deferred.size(); ++i) {
        postStatus(unit, ZEL_STATUS_DISPLACED, 0, 0);
        const int destination = deferredDestinations[i];
        if (!PlaceItem(unit, ex, deferred[i].entry, destination, deferred[i].buffer.get())) return 0;
        deferredDestinations[i] = -1; // done: no longer a destination to redirect
        afterStep(destination);
    }
    return 1;
}

} // namespace zel
