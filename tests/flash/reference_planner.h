// The placement search written out as plainly as it is described: bubble
// sorts, a table copied and restored around every branch, every branch tried.
// The library's planner must return the same plan.
#pragma once

#include "flash/planner.h"

namespace flashtest {

bool referencePlan(std::vector<_direntry>& list, std::vector<_direntry> items, int spare, const zel::Geometry& geometry,
                   zel::Plan& plan);

} // namespace flashtest
