// Fixes to the points a unit logs at its interval.
#pragma once

#include "logimage/track.h"

#include <vector>

namespace logimage {

// Fixes sorted by time (fixes of one second merged, the observation kept);
// a fix is logged when it falls on the interval's grid or after a gap, where
// the grid starts again from it. An observation is always logged and starts
// the grid again when `observationsLogged`. Within `bridge` seconds the grid
// points between two fixes are interpolated.
std::vector<Fix> resample(std::vector<Fix> fixes, int interval, int bridge, bool observationsLogged);

} // namespace logimage
