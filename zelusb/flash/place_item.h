// A plan carried out on the unit: one step, and the whole plan with the
// displacement of items that find no room.
#pragma once

#include "placement.h"
#include "zelusb.h"

#include <vector>

namespace zel {

// One placement step on the unit: erase the spare, move the destination's
// items into it, write the entry (from `data`, or copied from where it lies
// when `data` is null), write the new directory. On success `execution`
// moves on: the spare is the directory sector, the destination the spare.
// Error code 0x4000 while it runs and after it succeeded.
bool PlaceItem(int unit, Execution& execution, const _direntry& entry, int destination, const unsigned char* data);

struct NewItems {
    std::vector<_direntry> entries;              // with the type they are placed with
    std::vector<const unsigned char*> contents; // one per entry
};

// Every step, from the last to the first, then the deferred rewrites of
// displaced items (only with a callback). 1 or 0.
int executePlan(int unit, Execution& execution, const Plan& plan, const NewItems& items,
                DisplacementCallback onDisplace);

} // namespace zel
