// Windows: status records and device changes go to real windows.
#if defined(_WIN32)
#include "../link/host_window.h"
#include "hid.h"
#include "window.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace zel {

namespace {
std::mutex g_windowsMutex;
std::vector<HWND> g_windows; // registered for device changes

// Virtual units aren't announced by the system: tell the windows ourselves.
void onVirtualDevice(void*, bool arrived, const std::string& path) { broadcastDeviceChange(arrived, path); }
} // namespace

void postStatusRecord(HWND window, _ZEL_STATUS_RECORD* record) {
    if (!zelwin::postMessage(window, ZEL_STATUS_MESSAGE, 0, reinterpret_cast<LPARAM>(record))) std::free(record);
}

bool registerDeviceNotification(HWND recipient, const char* name) {
    if (!zelwin::registerDeviceNotification(recipient, zelwin::hidClassGuid(), name)) return false;
    zelhid::watchDevices(onVirtualDevice, nullptr);
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    g_windows.push_back(recipient);
    return true;
}

void broadcastDeviceChange(bool arrived, const std::string& path) {
    std::vector<HWND> windows;
    {
        std::lock_guard<std::mutex> lock(g_windowsMutex);
        windows = g_windows;
    }
    for (HWND w : windows) zelwin::postDeviceChange(w, arrived, path.c_str());
}

bool hostIsNtFamily() { return zelwin::isNtFamily(); }

} // namespace zel
#endif
