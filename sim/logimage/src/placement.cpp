#include "placement.h"

#include "logimage/fields.h"

#include <cmath>
#include <stdexcept>

namespace logimage {

namespace {

// Degree byte and offset of a magnitude below 128 degrees.
uint8_t split(double magnitude, double& units) {
    const double degrees = std::floor(magnitude);
    units = (magnitude - degrees) * kUnitsPerDegree;
    const bool half = units >= kHalfDegreeUnits;
    if (half) units -= kHalfDegreeUnits;
    return degreeByte(static_cast<int>(degrees), half);
}

} // namespace

Placement place(double latitude, double longitude, int family) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::abs(latitude) > 90.0 ||
        std::abs(longitude) > 180.0)
        throw std::invalid_argument("position outside the globe");
    Placement p;
    double lon = std::abs(longitude);
    if (family == 5) {
        if (latitude >= 0) p.window.hemisphere |= kNorth;
        if (longitude < 0) p.window.hemisphere |= kWest;
        if (lon >= 128.0) {
            p.window.hemisphere |= kPlus128;
            lon -= 128.0;
        }
    } else if (latitude < 0 || longitude > 0 || lon >= 128.0) {
        throw std::invalid_argument("families 3 and 4 hold only north latitudes and west longitudes below 128 degrees");
    }
    p.window.latDegree = split(std::abs(latitude), p.latUnits);
    p.window.lonDegree = split(lon, p.lonUnits);
    return p;
}

} // namespace logimage
