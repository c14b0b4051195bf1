// Carrying out a plan, as data: each step is one rotation of the step's
// destination sector into the spare, the item appended after the copies.
// The unit-side executor and the check made before it both run on this, so
// the check sees exactly the room each step will find.
#pragma once

#include "planner.h"
#include "rotation.h"
#include "zelusb.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace zel {

// Where a plan is being carried out.
struct Execution {
    std::vector<_direntry> working; // the directory as the last step wrote it
    int directorySector = -1;
    int spare = -1;
};

// One step: the new working list (every entry but the one placed, the
// destination's items moved into the spare, then the entry at its new
// place) and the copies that move them. `room` false: the spare cannot hold
// the destination's items, the entry and a whole directory.
struct StepPlan {
    bool room = false;
    Rotation rotation;
    uint32_t entryAddress = 0;
};
StepPlan planStep(const std::vector<_direntry>& working, const _direntry& entry, int destination, int spare);

// The entry a step places: the listed entry of its type and id (a
// relocation), else the new item of its id; nothing when there is neither.
struct StepEntry {
    _direntry entry{};
    std::optional<size_t> newItem; // index into the new items
};
std::optional<StepEntry> entryOfStep(const std::vector<_direntry>& working, const PlanStep& step,
                                     const std::vector<_direntry>& newItems);

// After a step into `destination` wrote the directory into `directorySector`:
// the destination's items lie there now, so every destination still to come
// that names it names the directory sector instead. Returns how many changed.
size_t redirect(std::vector<int>& destinations, int destination, int directorySector);

// A plan's steps run from the last to the first.
std::vector<int> destinationsOf(const Plan& plan);

// Runs the plan's steps on the directory in memory, in execution order.
struct PlanCheck {
    bool ok = true;
    size_t failedStep = 0;    // the step (index into plan.steps) that finds no room
    bool unknownItem = false; // a step places an item that is neither listed nor new
};
PlanCheck checkPlan(Execution execution, const Plan& plan, const std::vector<_direntry>& newItems);

} // namespace zel
