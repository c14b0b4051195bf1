// Device notifications: the windows registered with ZELSetNotification, and
// telling them about the devices the host does not announce itself (virtual
// units everywhere, hidraw hot-plug on Linux).
#include "../platform/hid.h"
#include "../platform/host_window.h"
#include "zelusb.h"

#include <mutex>
#include <vector>

namespace {

std::mutex g_recipientsMutex;
std::vector<HWND> g_recipients;

void onDevice(void*, bool arrived, const std::string& path) {
    std::vector<HWND> recipients;
    {
        std::lock_guard<std::mutex> lock(g_recipientsMutex);
        recipients = g_recipients;
    }
    for (HWND r : recipients) zelplat::deliverDeviceChange(r, arrived, path);
}

} // namespace

int ZELSetNotification(HWND recipient, char* name) {
    if (!zelplat::registerForDeviceChanges(recipient, name)) return 0;
    zelhid::watchDevices(onDevice, nullptr);
    std::lock_guard<std::mutex> lock(g_recipientsMutex);
    g_recipients.push_back(recipient);
    return 1;
}
