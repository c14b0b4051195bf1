// What the library needs from the host's windowing: posting status records,
// registering for and delivering device-change messages, and the NT-family
// answer. On Windows a window is a real HWND (window_win32.cpp); elsewhere it
// is a ZEL_SINK that gets the same messages (window_sink.cpp).
#pragma once

#include "zelusb.h"

#include <string>

namespace zelplat {

// Posts message 1034 with the record. False when it was not handed over:
// the record is then still the caller's.
bool postStatusRecord(HWND window, _ZEL_STATUS_RECORD* record);

// Registers `recipient` with the host for arrival and removal of HID
// interfaces (`name`, may be null, goes into the filter record). On Windows
// the system then tells it about real devices itself.
bool registerForDeviceChanges(HWND recipient, const char* name);

// Delivers one WM_DEVICECHANGE (DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE)
// with a DEV_BROADCAST_DEVICEINTERFACE_A of the HID class naming `path`, for
// the devices the host does not announce itself. Sent, not posted: the record
// is valid while the recipient handles it and is never the recipient's.
void deliverDeviceChange(HWND recipient, bool arrived, const std::string& path);

// True on every Windows of the NT line (and under Wine); false elsewhere.
bool hostIsNtFamily();

} // namespace zelplat
