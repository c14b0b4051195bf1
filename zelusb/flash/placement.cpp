#include "placement.h"

#include "directory_format.h"

namespace zel {

namespace {
bool sameItem(const _direntry& a, const _direntry& b) { return a.type == b.type && a.id == b.id; }
} // namespace

StepPlan planStep(const std::vector<_direntry>& working, const _direntry& entry, int destination, int spare) {
    std::vector<_direntry> kept;
    for (const _direntry& e : working)
        if (!sameItem(e, entry)) kept.push_back(e);
    StepPlan step;
    step.rotation = planRotation(std::move(kept), spare,
                                 [&](const _direntry& e) { return sectorOf(e.address) == destination; });
    step.room = roomFor(step.rotation.nextFree, step.rotation.list.size() + 1, entry.size);
    step.entryAddress = sectorAddress(spare) + step.rotation.nextFree;
    _direntry placed = entry;
    placed.address = step.entryAddress;
    step.rotation.list.push_back(placed);
    return step;
}

std::optional<StepEntry> entryOfStep(const std::vector<_direntry>& working, const PlanStep& step,
                                     const std::vector<_direntry>& newItems) {
    for (const _direntry& e : working)
        if (e.type == step.type && e.id == step.id) return StepEntry{e, std::nullopt};
    for (size_t i = 0; i < newItems.size(); ++i)
        if (newItems[i].id == step.id) return StepEntry{newItems[i], i};
    return std::nullopt;
}

size_t redirect(std::vector<int>& destinations, int destination, int directorySector) {
    size_t changed = 0;
    for (int& d : destinations) {
        if (d != destination) continue;
        d = directorySector;
        ++changed;
    }
    return changed;
}

std::vector<int> destinationsOf(const Plan& plan) {
    std::vector<int> out;
    for (const PlanStep& s : plan.steps) out.push_back(s.sector);
    return out;
}

PlanCheck checkPlan(Execution ex, const Plan& plan, const std::vector<_direntry>& newItems) {
    PlanCheck check;
    std::vector<int> destinations = destinationsOf(plan);
    for (size_t i = plan.steps.size(); i-- > 0;) {
        const auto step = entryOfStep(ex.working, plan.steps[i], newItems);
        if (!step) {
            check.ok = false;
            check.unknownItem = true;
            check.failedStep = i;
            return check;
        }
        const int destination = destinations[i];
        StepPlan sp = planStep(ex.working, step->entry, destination, ex.spare);
        if (!sp.room) {
            check.ok = false;
            check.failedStep = i;
            return check;
        }
        ex.working = std::move(sp.rotation.list);
        ex.directorySector = ex.spare;
        ex.spare = destination;
        destinations.resize(i); // the steps still to run
        redirect(destinations, destination, ex.directorySector);
    }
    return check;
}

} // namespace zel
