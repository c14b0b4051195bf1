// Time for the link: a monotonic millisecond clock for time-outs, and the
// fixed waits, which virtual units may run faster (ZELUSB_FAST_CLOCK=1).
#pragma once

#include <cstdint>

namespace zel {

int64_t nowMs();
// Sleeps a fixed wait of the protocol. Shortened only when the fast clock is
// allowed (every open unit virtual and the environment asking for it).
void fixedWait(long ms);
// Milliseconds of fixed waits asked for so far, as they were slept: what a
// benchmark adds to the USB bound.
int64_t fixedWaitsSoFarMs();
// Set by the unit table whenever the set of open units changes.
void setFastClockAllowed(bool allowed);
bool fastClockRequested();

} // namespace zel
