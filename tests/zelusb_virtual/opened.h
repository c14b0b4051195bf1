#pragma once

#include "virtual_units.h"

#include <chrono>
#include <thread>

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

// Faults armed in the folder reach an open unit within a tenth of a second.
inline void armNow(const Opened& o, const std::string& spec) {
    armFault(*o.plugged, spec);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

} // namespace testunits
