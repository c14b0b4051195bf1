// What the link needs from the host's windowing: posting status records,
// device-change registration, and the NT-family answer. On Windows these
// are the system's calls; elsewhere a window is a ZEL_SINK.
#pragma once

#include "zelusb.h"

#include <string>

namespace zel {

// Posts message 1034 with the record; the receiver owns the record.
void postStatusRecord(HWND window, _ZEL_STATUS_RECORD* record);
// Registers `recipient` for arrival and removal of HID interfaces.
bool registerDeviceNotification(HWND recipient, const char* name);
// Tells every registered recipient that a device came or went (used where the
// system doesn't: virtual units, and hidraw hot-plug).
void broadcastDeviceChange(bool arrived, const std::string& path);
bool hostIsNtFamily();

} // namespace zel
