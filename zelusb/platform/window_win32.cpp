// Windows: status records and device changes go to real windows.
#if defined(_WIN32)
#include "host_window.h"
#include "window.h"

namespace zelplat {

bool postStatusRecord(HWND window, _ZEL_STATUS_RECORD* record) {
    return zelwin::postMessage(window, ZEL_STATUS_MESSAGE, 0, reinterpret_cast<LPARAM>(record));
}

bool registerForDeviceChanges(HWND recipient, const char* name) {
    return zelwin::registerDeviceNotification(recipient, zelwin::hidClassGuid(), name);
}

void deliverDeviceChange(HWND recipient, bool arrived, const std::string& path) {
    zelwin::postDeviceChange(recipient, arrived, path.c_str());
}

bool hostIsNtFamily() { return zelwin::isNtFamily(); }

} // namespace zelplat
#endif
