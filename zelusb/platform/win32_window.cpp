#include "window.h"
#include "win32_api.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace zelwin {

namespace {

static_assert(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) == 32);
static_assert(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) == 28);

// A window whose thread doesn't answer within this long (busy in a long
// modal exchange, or hung) misses the message rather than stalling the sender.
constexpr UINT kSendTimeoutMs = 5000;

// Zeroed, at least a whole record, with room for `name` (may be null).
DEV_BROADCAST_DEVICEINTERFACE_A* newInterfaceRecord(size_t size, const GUID& classGuid, const char* name) {
    auto* record = static_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(std::calloc(1, size));
    if (!record) return nullptr;
    record->dbcc_size = static_cast<DWORD>(size);
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = classGuid;
    if (name) std::memcpy(record->dbcc_name, name, std::strlen(name) + 1);
    return record;
}

} // namespace

bool registerDeviceNotification(HWND recipient, const GUID& hidGuid, const char* name) {
    const size_t nameBytes = name ? std::strlen(name) + 1 : 0;
    DEV_BROADCAST_DEVICEINTERFACE_A* filter =
        newInterfaceRecord(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) + nameBytes, hidGuid, name);
    if (!filter) return false;
    HDEVNOTIFY registration = RegisterDeviceNotificationA(recipient, filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    std::free(filter);
    return registration != nullptr;
}

bool postMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(window, message, wParam, lParam) != FALSE;
}

GUID hidClassGuid() {
    GUID guid;
    HidD_GetHidGuid(&guid);
    return guid;
}

// The platform id is the one field no compatibility shim rewrites.
bool isNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

void postDeviceChange(HWND window, bool arrived, const char* path) {
    const size_t nameBytes = (path ? std::strlen(path) : 0) + 1;
    const size_t size =
        std::max(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A), offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + nameBytes);
    DEV_BROADCAST_DEVICEINTERFACE_A* record = newInterfaceRecord(size, hidClassGuid(), path);
    if (!record) return;
    DWORD_PTR answer = 0;
    const LRESULT handled =
        SendMessageTimeoutA(window, WM_DEVICECHANGE, arrived ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE,
                            reinterpret_cast<LPARAM>(record), SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer);
    // A message that timed out may still reach the window later, so its record
    // has to stay valid: it is left allocated (a small leak, and only then).
    if (handled || GetLastError() != ERROR_TIMEOUT) std::free(record);
}

} // namespace zelwin
