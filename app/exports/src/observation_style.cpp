#include "observation_style.h"

#include <cstdio>

namespace {

constexpr Rgb kDead{0xd6, 0x27, 0x28};
constexpr Rgb kCrossing{0xff, 0x7f, 0x0e};
constexpr Rgb kPalette[] = {{0x1f, 0x77, 0xb4}, {0x2c, 0xa0, 0x2c}, {0x94, 0x67, 0xbd}, {0x8c, 0x56, 0x4b},
                            {0xe3, 0x77, 0xc2}, {0x17, 0xbe, 0xcf}, {0xbc, 0xbd, 0x22}, {0x7f, 0x7f, 0x7f}};

} // namespace

Rgb observationColour(LogLayout layout, unsigned type) {
    const std::string name = observationName(layout, type);
    if (name == "dead wildlife") return kDead;
    if (name == "wildlife crossing") return kCrossing;
    return kPalette[type % (sizeof kPalette / sizeof kPalette[0])];
}

std::string hexColour(Rgb c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
    return text;
}
