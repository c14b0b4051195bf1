// Deterministic synthetic drives: town streets with lights, rural roads and
// highway stretches, with wildlife observations along the way.
#pragma once

#include "logimage/track.h"

#include <cstdint>
#include <vector>

namespace sampletrack {

struct DriveOptions {
    int64_t start = 1718400000; // 2024-06-14 21:20:00 UTC
    double latitude = 45.42;
    double longitude = -75.69;
    double headingDegrees = 90;
    int seconds = 3600;
    uint32_t seed = 1;
    // Mean seconds between observations (alternately crossing and dead
    // wildlife, by chance); 0 for none.
    int observationEvery = 600;
};

// One fix a second.
std::vector<logimage::Fix> drive(const DriveOptions& options);

} // namespace sampletrack
