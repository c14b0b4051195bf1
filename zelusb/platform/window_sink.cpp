// Windows-free hosts: a "window" is a ZEL_SINK that gets the same messages
// and the same records as a Windows window would.
#if !defined(_WIN32)
#include "host_window.h"

#include <cstddef>
#include <cstring>
#include <vector>

namespace zelplat {

namespace {
// The HID interface class, as Windows names it, so records look the same.
constexpr ZEL_GUID kHidGuid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
} // namespace

bool postStatusRecord(HWND window, _ZEL_STATUS_RECORD* record) {
    if (!window || !window->post) return false;
    window->post(window->context, ZEL_STATUS_MESSAGE, 0, reinterpret_cast<intptr_t>(record));
    return true;
}

bool registerForDeviceChanges(HWND recipient, const char*) { return recipient && recipient->post; }

void deliverDeviceChange(HWND recipient, bool arrived, const std::string& path) {
    const size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + path.size() + 1;
    std::vector<char> storage(size, 0);
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(storage.data());
    record->dbcc_size = static_cast<uint32_t>(size);
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = kHidGuid;
    std::memcpy(record->dbcc_name, path.c_str(), path.size() + 1);
    recipient->post(recipient->context, WM_DEVICECHANGE, arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                    reinterpret_cast<intptr_t>(record));
}

// No Windows here: the smallest report that fits, as the unit allows.
bool hostIsNtFamily() { return false; }

} // namespace zelplat
#endif
