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

// The phase of the load each request of `wire.sequence` belongs to, for a
// load that starts with the unit in its application: "boot-loader erase",
// "vectors", "firmware write", "first block", "final restart", ...
std::vector<std::string> phasesOf(const loadtest::Wire& wire, uint16_t cpuId);

// An uninterrupted load's wire, from its first report on.
struct Recorded {
    loadtest::Wire wire;
    std::vector<std::string> phases; // one per request
    size_t firstReport = 0;          // of the load, in wire.requestsAtReport
};
Recorded recordLoad(const loadtest::Files& files, uint16_t cpuId);

// For an uninterrupted load: for each phase, the unplug-after count that cuts
// the load in the middle of it (counted from the load's first report).
std::vector<std::pair<std::string, size_t>> unplugPointsByPhase(const loadtest::Files& files, uint16_t cpuId);

} // namespace interruptions
