// Virtual Bexo units as HID devices. The units are the folders named by
// ZELUSB_VIRTUAL (':'-separated; ';' on Windows) plus any plugged through
// ZELVirtualPlug. While either is present, only virtual units are seen.
#include "backends.h"
#include "notifier.h"
#include "unit.h"
#include "vstore/folder.h"
#include "vstore/open_unit.h"
#include "zelusb_virtual.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

namespace zelhid {

// The virtual backend's own device (hid_select wraps it).
struct VirtualDevice {
    std::unique_ptr<vunit::OpenedUnit> opened;
    std::string folder;
    std::string path;
    std::atomic<bool> stopped{false};
    std::atomic<bool> removalSent{false};
    std::atomic<int64_t> lastFaultCheck{0};
    // Held while a write is inside the unit: a close from another thread (a
    // removal handler) waits for it before the unit goes away.
    std::mutex writing;
};

namespace virt {

namespace {

#if defined(_WIN32)
constexpr char kSeparator = ';';
#else
constexpr char kSeparator = ':';
#endif

std::mutex g_mutex;
std::vector<std::string> g_plugged;
std::vector<VirtualDevice*> g_open;
DeviceNotify g_notify = nullptr;
void* g_notifyContext = nullptr;

VirtualDevice* self(Device* d) { return reinterpret_cast<VirtualDevice*>(d); }

std::vector<std::string> environmentFolders() {
    std::vector<std::string> out;
    const char* list = std::getenv("ZELUSB_VIRTUAL");
    if (!list) return out;
    std::string s(list);
    size_t start = 0;
    while (start <= s.size()) {
        const size_t end = s.find(kSeparator, start);
        std::string item = s.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!item.empty()) out.push_back(item);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

std::vector<std::string> folders() {
    std::vector<std::string> out = environmentFolders();
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const std::string& f : g_plugged) {
        bool seen = false;
        for (const std::string& o : out) seen = seen || o == f;
        if (!seen) out.push_back(f);
    }
    return out;
}

// A unit whose folder holds this file is pulled out, for every program: the
// watcher below tells the windows of this one, and no open finds it.
constexpr const char* kUnpluggedMarker = "unplugged";

bool markedUnplugged(const std::string& folder) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::path(folder) / kUnpluggedMarker, error);
}

// The path the host sees for the unit in `folder`; empty when it holds none.
std::string unitPath(const std::string& folder, uint16_t* vendor = nullptr, uint16_t* product = nullptr) {
    try {
        if (!vunit::isUnitFolder(folder) || markedUnplugged(folder)) return {};
        const vunit::Identity id = vunit::loadUnitIdentity(folder);
        if (vendor) *vendor = id.vendorId;
        if (product) *product = static_cast<uint16_t>(id.kind);
        return id.path;
    } catch (const std::exception&) {
        return {}; // a damaged unit is not a device
    }
}

void notify(bool arrived, const std::string& path) {
    DeviceNotify n;
    void* context;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        n = g_notify;
        context = g_notifyContext;
    }
    if (n) n(context, arrived, path);
}

int64_t steadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

bool active() {
    if (std::getenv("ZELUSB_VIRTUAL")) return true;
    std::lock_guard<std::mutex> lock(g_mutex);
    return !g_plugged.empty();
}

std::vector<DeviceInfo> enumerate() {
    std::vector<DeviceInfo> out;
    for (const std::string& folder : folders()) {
        DeviceInfo info;
        info.path = unitPath(folder, &info.vendorId, &info.productId);
        if (!info.path.empty()) out.push_back(info);
    }
    return out;
}

Device* openExclusive(const std::string& path, bool* busy) {
    if (busy) *busy = false;
    for (const std::string& folder : folders()) {
        if (unitPath(folder) != path) continue;
        std::string error;
        auto opened = vunit::openUnitFromFolder(folder, error);
        if (!opened) {
            if (busy) *busy = error.find("in use") != std::string::npos;
            return nullptr;
        }
        auto* d = new VirtualDevice;
        d->opened = std::move(opened);
        d->folder = folder;
        d->path = path;
        std::lock_guard<std::mutex> lock(g_mutex);
        g_open.push_back(d);
        return reinterpret_cast<Device*>(d);
    }
    return nullptr;
}

void close(Device* device) {
    VirtualDevice* d = self(device);
    if (!d) return;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        std::erase(g_open, d);
    }
    { std::lock_guard<std::mutex> wait(d->writing); }
    delete d; // saves what's unsaved and releases the folder
}

void setInputBuffers(Device*, int) {}

WriteResult writeReport(Device* device, const uint8_t* data, size_t length, int timeoutMs) {
    VirtualDevice* d = self(device);
    WriteResult r;
    // Faults armed while the unit is open reach it within a tenth of a second.
    const int64_t now = steadyMs();
    if (now - d->lastFaultCheck > 100) {
        d->lastFaultCheck = now;
        std::string error;
        vunit::armPendingFaults(*d->opened, error);
    }
    std::lock_guard<std::mutex> busy(d->writing);
    vunit::Unit& unit = *d->opened->unit;
    int taken;
    try {
        // A stalled endpoint keeps the write pending, as a real one does, until the time-out.
        const int64_t start = steadyMs();
        while ((taken = vunit::writeReport(unit, data, length)) == 0 && vunit::outputStalled(unit)) {
            if (steadyMs() - start >= timeoutMs) {
                r.status = WriteStatus::TimedOut;
                r.waitResult = 258;
                return r;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    } catch (const std::exception&) {
        taken = -1; // the unit's folder could not be written: nothing crosses the library's edge
    }
    if (taken <= 0) {
        r.status = WriteStatus::Failed;
        return r;
    }
    r.written = static_cast<uint32_t>(taken);
    r.status = static_cast<size_t>(taken) == length ? WriteStatus::Ok : WriteStatus::Short;
    return r;
}

int readReports(Device* device, uint8_t* buffer, size_t capacity, int timeoutMs) {
    VirtualDevice* d = self(device);
    if (d->stopped) return -1;
    const int n = vunit::readReport(*d->opened->unit, buffer, capacity, timeoutMs);
    // Pulled out (or powered away) under us. Told from the notifier thread:
    // this is the unit's receive thread, and a handler may close the unit.
    if (n < 0 && !d->stopped && !vunit::isPlugged(*d->opened->unit) && !d->removalSent.exchange(true))
        zelplat::runOnNotifierThread([path = d->path] { notify(false, path); });
    return n;
}

void stopReads(Device* device) {
    VirtualDevice* d = self(device);
    d->stopped = true;
    vunit::cancelRead(*d->opened->unit);
}

namespace {

// Pulls out the open units kept in `folder`; the path they were seen under.
std::string unplugOpen(const std::string& folder) {
    std::string path;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (VirtualDevice* d : g_open) {
        if (d->folder != folder) continue;
        path = d->path;
        d->removalSent = true;
        vunit::unplug(*d->opened->unit);
    }
    return path;
}

// The watcher's thread, stopped before the library's other statics go: it
// must not tell anyone of a change while the process is taking them down.
struct Watcher {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::thread thread;
    ~Watcher() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        wake.notify_all();
        if (thread.joinable()) thread.join();
    }
    // Waits 200 ms; false once stopping.
    bool pause() {
        std::unique_lock<std::mutex> lock(mutex);
        return !wake.wait_for(lock, std::chrono::milliseconds(200), [this] { return stop; });
    }
};

// Another program (bexo-sim plug / unplug, or a unit made or removed) plugs
// and pulls the units named in ZELUSB_VIRTUAL: their folders are looked at
// five times a second and each change is told as an arrival or a removal.
void watchEnvironmentFolders(Watcher* watcher) {
    struct Seen {
        std::string folder, path;
    };
    std::vector<Seen> seen;
    for (const std::string& f : environmentFolders()) seen.push_back({f, unitPath(f)});
    while (watcher->pause()) {
        for (Seen& s : seen) {
            const std::string now = unitPath(s.folder);
            if (now == s.path) continue;
            if (!s.path.empty()) {
                const std::string open = unplugOpen(s.folder);
                notify(false, open.empty() ? s.path : open);
            }
            if (!now.empty()) notify(true, now);
            s.path = now;
        }
    }
}

} // namespace

bool watchDevices(DeviceNotify n, void* context) {
#if defined(_WIN32)
    // Never destroyed: at process exit Windows ends the thread, perhaps
    // holding the watcher's mutex, before the library's statics go.
    static Watcher& watcher = *new Watcher;
#else
    static Watcher watcher;
#endif
    std::lock_guard<std::mutex> lock(g_mutex);
    g_notify = n;
    g_notifyContext = context;
    if (!watcher.thread.joinable() && !environmentFolders().empty())
        watcher.thread = std::thread(watchEnvironmentFolders, &watcher);
    return true;
}

bool isVirtual(const Device*) { return true; }

bool plug(const std::string& folder, std::string& path) {
    path = unitPath(folder);
    if (path.empty()) return false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const std::string& f : g_plugged)
            if (f == folder) return true;
        g_plugged.push_back(folder);
    }
    notify(true, path);
    return true;
}

bool unplug(const std::string& folder) {
    std::string path;
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto it = g_plugged.begin(); it != g_plugged.end(); ++it) {
            if (*it == folder) {
                g_plugged.erase(it);
                known = true;
                break;
            }
        }
    }
    path = unplugOpen(folder);
    if (path.empty()) path = unitPath(folder);
    if (known || !path.empty()) notify(false, path);
    return known;
}

uint64_t modelTimeUs(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_mutex);
    for (VirtualDevice* d : g_open)
        if (d->path == path) return vunit::modelTimeUs(*d->opened->unit);
    return 0;
}

} // namespace virt
} // namespace zelhid

int ZELVirtualPlug(const char* folder) {
    std::string path;
    return folder && zelhid::virt::plug(folder, path) ? 1 : 0;
}

int ZELVirtualUnplug(const char* folder) { return folder && zelhid::virt::unplug(folder) ? 1 : 0; }
