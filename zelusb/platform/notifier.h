// Device notifications that a backend notices on a unit's own receive
// thread (a virtual unit pulled out or powered away) are handed on from one
// thread of the library's that holds no unit resources. A handler may then
// close the unit, or open another in its slot, without waiting for the
// thread that noticed, and that thread never runs a caller's code.
#pragma once

#include <functional>

namespace zelplat {

// Runs `job` on the notifier thread, after every job given before it.
void runOnNotifierThread(std::function<void()> job);

// Returns once every job given so far has run (tests, and orderly exits).
void waitForNotifierThread();

} // namespace zelplat
