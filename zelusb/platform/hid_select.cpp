// Routes every HID call to the virtual backend while virtual units are in
// use (ZELUSB_VIRTUAL, or units plugged by a test), else to the host's own.
// An open device remembers which backend it came from.
#include "backends.h"

namespace zelhid {

struct Device {
    bool isVirtualUnit;
    Device* inner; // the backend's own device
};

namespace {
Device* wrap(bool v, Device* inner) { return inner ? new Device{v, inner} : nullptr; }
} // namespace

#if !defined(ZELUSB_HAS_VIRTUAL_UNITS)
// Built without virtual units: the routing below only ever picks the host's.
namespace virt {
bool active() { return false; }
std::vector<DeviceInfo> enumerate() { return {}; }
Device* openExclusive(const std::string&, bool*) { return nullptr; }
void close(Device*) {}
void setInputBuffers(Device*, int) {}
WriteResult writeReport(Device*, const uint8_t*, size_t, int) { return {}; }
int readReports(Device*, uint8_t*, size_t, int) { return -1; }
void stopReads(Device*) {}
bool watchDevices(DeviceNotify, void*) { return false; }
} // namespace virt
#endif

std::vector<DeviceInfo> enumerate() { return virt::active() ? virt::enumerate() : native::enumerate(); }

Device* openExclusive(const std::string& path, bool* busy) {
    const bool v = virt::active();
    return wrap(v, v ? virt::openExclusive(path, busy) : native::openExclusive(path, busy));
}

void close(Device* d) {
    if (!d) return;
    if (d->isVirtualUnit) virt::close(d->inner);
    else native::close(d->inner);
    delete d;
}

void setInputBuffers(Device* d, int count) {
    if (d->isVirtualUnit) virt::setInputBuffers(d->inner, count);
    else native::setInputBuffers(d->inner, count);
}

WriteResult writeReport(Device* d, const uint8_t* data, size_t length, int timeoutMs) {
    return d->isVirtualUnit ? virt::writeReport(d->inner, data, length, timeoutMs)
                            : native::writeReport(d->inner, data, length, timeoutMs);
}

int readReports(Device* d, uint8_t* buffer, size_t capacity, int timeoutMs) {
    return d->isVirtualUnit ? virt::readReports(d->inner, buffer, capacity, timeoutMs)
                            : native::readReports(d->inner, buffer, capacity, timeoutMs);
}

void stopReads(Device* d) {
    if (d->isVirtualUnit) virt::stopReads(d->inner);
    else native::stopReads(d->inner);
}

bool watchDevices(DeviceNotify notify, void* context) {
    // Both: virtual units come and go by test or by folder, real ones by the system.
    const bool v = virt::watchDevices(notify, context);
    const bool n = native::watchDevices(notify, context);
    return v || n;
}

bool isVirtual(const Device* d) { return d && d->isVirtualUnit; }

} // namespace zelhid
