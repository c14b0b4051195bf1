// Finding, opening and closing units; the table's exported calls.
#include "../platform/event.h"
#include "../platform/hid.h"
#include "../platform/host_window.h"
#include "../platform/library_unload.h"
#include "clock.h"
#include "status.h"
#include "unit_table.h"
#include "zelusb.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <chrono>

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
    for (int i = 0; i < kMaxUnits; ++i) {
        const std::shared_ptr<Session> s = sessionOf(i);
        if (!s) continue;
        anyOpen = true;
        if (!zelhid::isVirtual(s->device)) allVirtual = false;
    }
    setFastClockAllowed(anyOpen && allVirtual && fastClockRequested());
}

// Finds the wanted device among the present ones and opens it for use.
std::shared_ptr<Session> searchDevice(uint16_t productId, UnitRecord& u, int index) {
    int counter = 0;
    for (const zelhid::DeviceInfo& info : zelhid::enumerate()) {
        if (!((info.vendorId == kVendor || info.vendorId == kVendorAlternative) && info.productId == productId))
            continue;
        if (index == -1 || index == counter) {
            zelhid::Device* device = zelhid::openExclusive(info.path);
            if (device) {
                zelhid::setInputBuffers(device, 200);
                auto session = std::make_shared<Session>(device);
                std::lock_guard<std::mutex> lock(u.sessionMutex);
                u.path = info.path;
                u.session = session;
                return session;
            }
            if (index == counter) return nullptr;
            continue; // in use elsewhere: try the next one
        }
        ++counter;
    }
    return nullptr;
}

int openUnit(int index) {
    if (!g_initialised) return -1;
    std::unique_lock<std::mutex> lock(g_tableMutex);
    int unit = -1;
    for (int i = 0; i < kMaxUnits; ++i) {
        if (!sessionOf(i)) {
            unit = i;
            break;
        }
    }
    if (unit < 0) return -1;
    UnitRecord& u = g_units[unit];
    std::shared_ptr<Session> session = searchDevice(1, u, index);
    const bool stream = session != nullptr;
    if (!session) session = searchDevice(2, u, index);
    if (!session) return -1;
    u.stream = stream;
    u.receiveEvent = zelplat::createAutoResetEvent();
    startReceiver(u, std::move(session));
    updateFastClock();
    lock.unlock();
    fixedWait(500);
    ZELReframe(unit);
    return unit;
}

// The device closes when the last holder lets the session go. A call still
// writing to it from another thread holds it for at most one write time-out;
// waiting that out here means the device is free for the next opener when
// the close returns. Past that it is let go by whoever holds it last.
void releaseDevice(std::shared_ptr<Session> session) {
    if (!session) return;
    std::weak_ptr<Session> held = session;
    session.reset();
    for (int64_t start = nowMs(); !held.expired() && nowMs() - start < 6000;)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Every unit is closed when the library goes away.
[[maybe_unused]] const bool g_closesAtUnload = (zelplat::onLibraryUnload(closeAllUnits), true);

} // namespace

void closeAllUnits() {
    for (int i = 0; i < kMaxUnits; ++i) ZELCloseDevice(i);
}

UnitRecord* record(int unit) { return unit >= 0 && unit < kMaxUnits ? &g_units[unit] : nullptr; }
std::shared_ptr<Session> sessionOf(int unit) {
    UnitRecord* u = record(unit);
    if (!u) return nullptr;
    std::lock_guard<std::mutex> lock(u->sessionMutex);
    return u->session;
}
UnitRecord* openRecord(int unit) { return sessionOf(unit) ? record(unit) : nullptr; }

int postStatus(int unit, int kind, int position, int range) {
    UnitRecord* u = record(unit);
    HWND window = u ? u->statusWindow.load() : nullptr;
    if (!window) return 1;
    auto* r = static_cast<_ZEL_STATUS_RECORD*>(std::malloc(sizeof(_ZEL_STATUS_RECORD)));
    if (!r) return 1;
    r->unit = unit;
    r->kind = kind;
    r->range = range;
    r->position = position;
    r->reserved = 0;
    r->tag = u->statusTag;
    if (!zelplat::postStatusRecord(window, r)) std::free(r);
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
    g_ntFamily = zelplat::hostIsNtFamily();
    return 1;
}

int ZELOpenNextAvailableDevice() { return openUnit(-1); }

int ZELOpenDevice(int index) { return index < 0 ? -1 : openUnit(index); }

int ZELCloseDevice(int unit) {
    UnitRecord* u = record(unit);
    if (!u) return 1;
    std::lock_guard<std::mutex> lock(g_tableMutex);
    std::shared_ptr<Session> session;
    {
        std::lock_guard<std::mutex> slot(u->sessionMutex);
        session = std::move(u->session);
        u->session = nullptr;
        u->path.clear();
    }
    if (session) stopReceiver(*u, *session);
    releaseDevice(std::move(session));
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

int ZELGetDeviceString(int unit, char* buffer, int* size) {
    UnitRecord* u = record(unit);
    if (!u || !size) return 0;
    std::lock_guard<std::mutex> lock(u->sessionMutex);
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
