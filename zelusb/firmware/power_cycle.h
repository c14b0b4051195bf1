// The loader's two restarts wait for the unit to show itself unpowered.
#pragma once

#include "../link/clock.h"

namespace zel {

enum class PowerDown {
    Off,      // the status shows the main processor unpowered
    NoStatus, // the first status request failed
    Failed,   // a later one failed, or the 32nd repeat came
};

// Asks for the status, then again every 100 ms while it shows the unit
// powered; the 32nd repeat gives up whatever it shows.
PowerDown waitUntilUnpowered(int unit);

} // namespace zel
