// Finding, opening and closing units; the table's exported calls.
#include "../platform/event.h"
#include "../platform/hid.h"
#include "clock.h"
#include "host_window.h"
#include "status.h"
#include "unit_table.h"
#include "zelusb.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace zel {

// Never destroyed: receive threads may outlive static destruction at exit.
std::array<UnitRecord, kMaxUnits>& g_units = *new std::array<UnitRecord, kMaxUnits>;
std::atomic<bool> g_initialised{false};
std::atomic<bool> g_ntFamily{false};

namespace {
std::mutex g_tableMutex; // open and close of units, one at a time

constexpr uint16_t kVendor = 0x16B5;
constexpr uint16_t kVendorAlternative = 0x4242;

void updateFastClock() {
    bool anyOpen = false, allVirtual = true;
    for (auto& u : g_units) {
        zelhid::Device* d = u.device;
        if (!d) continue;
        anyOpen = true;
        if (!zelhid::isVirtual(d)) allVirtual = false;
    }
    setFastClockAllowed(anyOpen && allVirtual && fastClockRequested());
}

// Finds the wanted device among the present ones and opens it for use.
bool searchDevice(uint16_t productId, UnitRecord& u, int index) {
    int counter = 0;
    for (const zelhid::DeviceInfo& info : zelhid::enumerate()) {
        if (!((info.vendorId == kVendor || info.vendorId == kVendorAlternative) && info.productId == productId))
            continue;
        if (index == -1 || index == counter) {
            zelhid::Device* device = zelhid::openExclusive(info.path);
            if (device) {
                zelhid::setInputBuffers(device, 200);
                u.path = info.path;
                u.device = device;
                return true;
            }
            if (index == counter) return false;
            continue; // in use elsewhere: try the next one
        }
        ++counter;
    }
    return false;
}

int openUnit(int index) {
    if (!g_initialised) return -1;
    std::unique_lock<std::mutex> lock(g_tableMutex);
    int unit = -1;
    for (int i = 0; i < kMaxUnits; ++i) {
        if (!g_units[i].device) {
            unit = i;
            break;
        }
    }
    if (unit < 0) return -1;
    UnitRecord& u = g_units[unit];
    bool stream = searchDevice(1, u, index);
    if (!stream && !searchDevice(2, u, index)) {
        u.device = nullptr;
        u.path.clear();
        return -1;
    }
    u.stream = stream;
    u.receiveEvent = zelplat::createAutoResetEvent();
    startReceiver(unit);
    updateFastClock();
    lock.unlock();
    fixedWait(500);
    ZELReframe(unit);
    return unit;
}

#if !defined(_WIN32)
// Closes every unit when the library goes away (on Windows: DllMain).
struct CloseAllAtExit {
    ~CloseAllAtExit() { closeAllUnits(); }
} g_closeAll;
#endif

} // namespace

void closeAllUnits() {
    for (int i = 0; i < kMaxUnits; ++i) ZELCloseDevice(i);
}

UnitRecord* record(int unit) { return unit >= 0 && unit < kMaxUnits ? &g_units[unit] : nullptr; }
UnitRecord* openRecord(int unit) {
    UnitRecord* u = record(unit);
    return u && u->device ? u : nullptr;
}

int postStatus(int unit, int kind, int position, int range) {
    UnitRecord* u = record(unit);
    if (!u || !u->statusWindow) return 1;
    auto* r = static_cast<_ZEL_STATUS_RECORD*>(std::malloc(sizeof(_ZEL_STATUS_RECORD)));
    if (!r) return 1;
    r->unit = unit;
    r->kind = kind;
    r->range = range;
    r->position = position;
    r->reserved = 0;
    r->tag = u->statusTag;
    postStatusRecord(u->statusWindow, r);
    return 1;
}

} // namespace zel

using namespace zel;

int ZELDLLInitialize() {
    if (g_initialised.exchange(true)) return 0;
    for (auto& u : g_units) {
        u.cancel = false;
        u.unframed = false;
        u.statusWindow = nullptr;
        u.errorCode = 0;
        u.errorDetail = 0;
    }
    g_ntFamily = hostIsNtFamily();
    return 1;
}

int ZELOpenNextAvailableDevice() { return openUnit(-1); }

int ZELOpenDevice(int index) { return index < 0 ? -1 : openUnit(index); }

int ZELCloseDevice(int unit) {
    UnitRecord* u = record(unit);
    if (!u) return 1;
    std::lock_guard<std::mutex> lock(g_tableMutex);
    if (zelhid::Device* device = u->device) {
        stopReceiver(*u);
        u->device = nullptr;
        zelhid::close(device);
    }
    u->path.clear();
    u->cancel = false;
    u->unframed = false;
    if (u->receiveEvent) zelplat::destroyEvent(u->receiveEvent);
    u->receiveEvent = nullptr;
    u->statusWindow = nullptr;
    u->errorCode = 0;
    u->errorDetail = 0;
    updateFastClock();
    return 1;
}

void* ZELGetReceiveEventHandle(int unit) {
    UnitRecord* u = record(unit);
    return u ? zelplat::nativeHandle(u->receiveEvent) : nullptr;
}

#if !defined(_WIN32)
int ZELWaitReceiveEvent(void* event, long timeoutMs) {
    return zelplat::waitEvent(zelplat::fromNativeHandle(event), timeoutMs);
}
#endif

int ZELSetNotification(HWND recipient, char* name) { return registerDeviceNotification(recipient, name) ? 1 : 0; }

int ZELGetDeviceString(int unit, char* buffer, int* size) {
    UnitRecord* u = record(unit);
    if (!u || !size) return 0;
    const int needed = static_cast<int>(u->path.size()) + 1;
    if (*size < needed || !buffer) {
        *size = needed;
        return 0;
    }
    std::memcpy(buffer, u->path.c_str(), static_cast<size_t>(needed));
    *size = needed;
    return 1;
}

int ZELRegisterStatusWindow(int unit, HWND window, unsigned int tag) {
    if (UnitRecord* u = record(unit)) {
        u->statusWindow = window;
        u->statusTag = tag;
    }
    return 1;
}

int ZELFreeStatusBuffer(void* record) {
    std::free(record);
    return 1;
}

int ZELCancelIO(int unit) {
    if (UnitRecord* u = record(unit)) u->cancel = true;
    return 0;
}
