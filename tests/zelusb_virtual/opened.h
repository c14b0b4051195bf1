#pragma once

#include "virtual_units.h"

namespace testunits {

// A plugged unit, opened and powered for one test.
struct Opened {
    std::unique_ptr<Plugged> plugged;
    int unit = -1;
    explicit Opened(const UnitSpec& spec = {}, bool power = true) : plugged(plugUnit(spec)) {
        unit = power ? openPowered() : ZELOpenNextAvailableDevice();
    }
    ~Opened() { ZELCloseDevice(unit); }
};

} // namespace testunits
