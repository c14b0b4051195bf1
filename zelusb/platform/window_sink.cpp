// Windows-free hosts: a "window" is a ZEL_SINK that gets the same messages.
#if !defined(_WIN32)
#include "../link/host_window.h"
#include "hid.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace zel {

namespace {
std::mutex g_sinksMutex;
std::vector<HWND> g_sinks;
// The HID interface class, as Windows names it, so records look the same.
constexpr ZEL_GUID kHidGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

void onDevice(void*, bool arrived, const std::string& path) { broadcastDeviceChange(arrived, path); }
} // namespace

void postStatusRecord(HWND window, _ZEL_STATUS_RECORD* record) {
    if (window && window->post)
        window->post(window->context, ZEL_STATUS_MESSAGE, 0, reinterpret_cast<intptr_t>(record));
    else std::free(record);
}

bool registerDeviceNotification(HWND recipient, const char*) {
    if (!recipient || !recipient->post) return false;
    if (!zelhid::watchDevices(onDevice, nullptr)) return false;
    std::lock_guard<std::mutex> lock(g_sinksMutex);
    g_sinks.push_back(recipient);
    return true;
}

void broadcastDeviceChange(bool arrived, const std::string& path) {
    std::vector<HWND> sinks;
    {
        std::lock_guard<std::mutex> lock(g_sinksMutex);
        sinks = g_sinks;
    }
    if (sinks.empty()) return;
    const size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + path.size() + 1;
    std::vector<char> storage(size, 0);
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(storage.data());
    record->dbcc_size = static_cast<uint32_t>(size);
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = kHidGuid;
    std::memcpy(record->dbcc_name, path.c_str(), path.size() + 1);
    for (HWND sink : sinks)
        sink->post(sink->context, WM_DEVICECHANGE, arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                   reinterpret_cast<intptr_t>(record));
}

// No Windows here: the smallest report that fits, as the unit allows.
bool hostIsNtFamily() { return false; }

} // namespace zel
#endif
