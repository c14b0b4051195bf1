// One colour per observation kind, shared by the KML styles and the picture:
// dead wildlife red, wildlife crossing orange, other types from a palette.
#pragma once

#include "trackplan.h"

#include <cstdint>
#include <string>

struct Rgb {
    uint8_t r, g, b;
};

Rgb observationColour(LogLayout layout, unsigned type);
std::string hexColour(Rgb c); // "#d62728"
