// Where a position falls in the log's coordinate system: the bytes that pick
// its 30-minute window and its offset inside that window.
#pragma once

#include <cstdint>

namespace logimage {

struct Window {
    uint8_t latDegree = 0;
    uint8_t lonDegree = 0;
    uint8_t hemisphere = 0; // family 5 only
    bool operator==(const Window&) const = default;
};

struct Placement {
    Window window;
    double latUnits = 0; // 0 .. 300000 within the window
    double lonUnits = 0;
};

// Throws std::invalid_argument for positions the family cannot hold.
Placement place(double latitude, double longitude, int family);

} // namespace logimage
