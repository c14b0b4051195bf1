// Interrupted loads: a load on a fresh virtual unit cut by one of the unit's
// faults (unplug-after:N, power-cut-program:N, power-cut-erase:N), then the
// unit plugged in again, identified and loaded once more, as a user would.
#pragma once

#include "load_support.h"

#include <string>
#include <vector>

namespace interruptions {

struct Attempt {
    std::string fault;
    bool cut = false;         // false: the load ended before the fault came
    std::string phase;        // where the load was when cut
    size_t command = 0;       // requests of the load up to the cut (1-based)
    std::string commandName;  // the last of them (load_support's names)
    bool broken = false;      // the unit's reset vector leads nowhere afterwards
    bool recovered = false;   // the second load put the files in place and the unit runs them
    std::string secondPrinted;
};

Attempt interruptAndReload(const loadtest::Files& files, uint16_t cpuId, const std::string& fault);

// Where a request sits in a load, from what the load had printed by then.
std::string phaseOf(const std::string& printed, const std::string& commandName, uint16_t vectorAddress);

} // namespace interruptions
