// The library's window seam on Windows: real windows get device-change
// registration, posted messages and device-change records from here.
// (Hosts without Windows use ZEL_SINKs instead, see window_sink.cpp.)
#pragma once

#include <windows.h>

namespace zelwin {

// Registers `recipient` for arrival and removal of interfaces of the class
// `hidGuid`; `name` (may be null) goes into the filter record. The handle is
// not kept: the registration lasts as long as the window.
bool registerDeviceNotification(HWND recipient, const GUID& hidGuid, const char* name);

// PostMessageA. False when nothing was queued: a pointer passed in lParam
// was not handed over and is still the caller's.
bool postMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam);

GUID hidClassGuid();

// True on every Windows of the NT line (and under Wine).
bool isNtFamily();

// Delivers WM_DEVICECHANGE (DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE)
// with a DEV_BROADCAST_DEVICEINTERFACE_A of the HID class whose dbcc_name
// holds `path`, for devices the system doesn't announce (virtual units).
// Like the system's own broadcast it is sent, not posted: the record is valid
// while the window handles the message, and the receiver never frees it.
// Blocks until the window's thread has handled it, or for at most 5 s.
void postDeviceChange(HWND window, bool arrived, const char* path);

} // namespace zelwin
