// The process's one hidraw hot-plug watcher: a thread listening to the
// kernel's uevents, stopped and joined when the process exits.
#pragma once

#include "hid.h"

namespace zelhid::hidraw {

// Starts the watcher, or only swaps the callback when it already runs.
// false when the uevent socket can't be had.
bool watchHotplug(DeviceNotify notify, void* context);

} // namespace zelhid::hidraw
