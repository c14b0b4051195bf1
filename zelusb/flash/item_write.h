// Planning a write and checking the plan, shared by item and map writes.
#pragma once

#include "change_start.h"
#include "place_item.h"
#include "planner.h"

namespace zel {

// Plans the placement of `items` (printing the directory size it needs),
// sorts `working` into the new directory's order, and fills `ex` to carry it
// out. Without a displacement callback the plan is also run in memory, in
// execution order, and refused when a step would find no room. False with
// error code 0x1C000000 when there is no plan to carry out.
bool planAndCheck(int unit, const ChangeStart& start, std::vector<_direntry>& working, const NewItems& items,
                  bool displaceable, Plan& plan, Execution& ex);

} // namespace zel
