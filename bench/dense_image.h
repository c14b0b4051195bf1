// A log image of dense drives (one point a second), the size of a unit's
// whole log space, for the benchmarks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Drives laid end to end until `bytes` would be passed, padded with 0xFF.
std::vector<uint8_t> denseImage(std::size_t bytes);
