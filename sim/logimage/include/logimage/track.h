// Track level of the log-image encoder: timed positions to the image a unit
// would have logged.
#pragma once

#include <cstdint>
#include <vector>

namespace logimage {

struct Fix {
    int64_t time = 0; // UTC seconds since 1970
    double latitude = 0; // degrees, north positive
    double longitude = 0; // degrees, east positive
    double speedKmh = 0;
    uint8_t observation = 0; // 0 plain, else observation type 1..127
    uint8_t speedLimitKmh = 50; // stored as the nearest entry of the limit table
};

struct EncodeOptions {
    int family = 5; // 3, 4 or 5
    int interval = 1; // seconds between logged points, 1..256
    // Fixes at most this many seconds apart get the interval's grid points
    // between them interpolated; 0 logs real fixes only.
    int bridge = 0;
};

// Throws std::invalid_argument when the options or a fix cannot be logged:
// a family other than 3-5, an interval outside 1-256, a time outside the
// years 2000-2063, an observation type above 127, a latitude beyond 90 or a
// longitude beyond 180 degrees, a non-finite value, and in families 3 and 4
// (which hold only north latitudes and west longitudes up to 127 degrees)
// any fix outside that quarter. Family 3 has no observation type: its
// observations are dropped. The image ends with the end byte 0x00 after the
// last run; an empty fix list gives an empty image.
std::vector<uint8_t> encodeTrack(const std::vector<Fix>& fixes, const EncodeOptions& options = {});

} // namespace logimage
