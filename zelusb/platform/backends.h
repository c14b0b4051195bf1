// The two backends behind hid.h: the host's own HID stack ("native") and
// virtual units ("virt"). Both implement the same calls as hid.h.
#pragma once

#include "hid.h"

namespace zelhid {

#define ZELHID_BACKEND_DECLARATIONS                                                                              \
    std::vector<DeviceInfo> enumerate();                                                                       \
    Device* openExclusive(const std::string& path, bool* busy = nullptr);                                      \
    void close(Device* device);                                                                                \
    void setInputBuffers(Device* device, int count);                                                           \
    WriteResult writeReport(Device* device, const uint8_t* data, size_t length, int timeoutMs);                \
    int readReports(Device* device, uint8_t* buffer, size_t capacity, int timeoutMs);                          \
    void stopReads(Device* device);                                                                            \
    bool watchDevices(DeviceNotify notify, void* context);                                                     \
    bool isVirtual(const Device* device);

namespace native {
ZELHID_BACKEND_DECLARATIONS
}
namespace virt {
ZELHID_BACKEND_DECLARATIONS
// Units in use: the folders of ZELUSB_VIRTUAL, plus those plugged by a test.
bool active();
bool plug(const std::string& folder, std::string& path);
bool unplug(const std::string& folder);
// The model clock of the open unit at `path` (0 when none): for benchmarks.
uint64_t modelTimeUs(const std::string& path);
}

#undef ZELHID_BACKEND_DECLARATIONS

} // namespace zelhid
