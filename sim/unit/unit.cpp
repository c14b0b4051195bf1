// The public face of a unit: reports in, reports out, one lock around the
// device. A write handles its report completely (the unit's answers are
// queued with the time they become readable) before it returns; the reader
// waits on a condition variable for the next report to come due.
#include "unit.h"

#include "device.h"
#include "faults.h"
#include "timing.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

namespace vunit {

struct Unit {
    std::mutex writing; // one write (with its persist and frame wait) at a time
    mutable std::mutex mutex;
    std::condition_variable wake;
    Device d;
    std::function<void(Storage&)> persist;
    bool plugged = true;
    unsigned cancels = 0; // like an auto-reset event: each wakes one read
    WallClock::time_point stalledUntil{}; // output reports are NAKed until then
};

namespace {

// Storage from outside must match the identity before anything indexes it.
void fitStorage(Device& d) {
    const auto map = sectorMapOf(d.id);
    for (size_t s = 0; s < kMaxSectors; ++s) {
        auto& sector = d.storage.sectors[s];
        const size_t want = map[s] ? kSectorSize : 0;
        if (sector.size() == want) continue;
        sector.resize(want, 0xFF);
        d.storage.dirtySectors[s] = true;
    }
    const size_t programBytes = static_cast<size_t>(d.chip.imageWords) * 2;
    if (d.storage.programFlash.size() != programBytes) {
        auto& flash = d.storage.programFlash;
        const size_t kept = std::min(flash.size(), programBytes);
        flash.resize(programBytes);
        for (size_t i = kept; i < programBytes; ++i) // erased, as blankStorage makes it
            flash[i] = (!d.chip.eraseBeforeWrite && (i & 1)) ? 0x3F : 0xFF;
        d.storage.programFlashDirty = true;
    }
}

void pullPlug(Unit& u, const char* why) {
    if (!u.plugged) return;
    u.plugged = false;
    const uint64_t now = std::max(u.d.clockUs, u.d.inFreeUs);
    traceEvent(u.d.trace, now, why);
    for (const InReport& r : u.d.inbox) traceDropped(u.d.trace, now, r.bytes.data(), r.bytes.size(), why);
    u.d.inbox.clear();
    u.wake.notify_all();
}

std::string describe(const Identity& id) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "plugged in: %s unit, vendor %04X, usb %u.%u, firmware %u.%u, chip %u, cpu %04X",
                  id.kind == Kind::Packet ? "packet" : "stream", id.vendorId, id.usbMajor, id.usbMinor,
                  id.firmwareMajor, id.firmwareMinor, id.chipCode, id.cpuId);
    return buf;
}

void destroy(Unit* u) {
    {
        std::lock_guard lock(u->mutex);
        pullPlug(*u, "unit closed");
    }
    delete u;
}

} // namespace

std::unique_ptr<Unit, void (*)(Unit*)> makeUnit(const Identity& identity, Storage storage, const UnitOptions& options) {
    std::unique_ptr<Unit, void (*)(Unit*)> unit(new Unit, destroy);
    Device& d = unit->d;
    d.id = identity;
    d.storage = std::move(storage);
    d.chip = programChipOf(identity.cpuId);
    d.timing = options.timing;
    d.rng.state = identity.seed;
    d.lastDue = WallClock::now();
    fitStorage(d);
    unit->persist = options.persist;
    openTrace(d.trace, options.tracePath);
    traceEvent(d.trace, 0, describe(identity));
    return unit;
}

int writeReport(Unit& u, const uint8_t* data, size_t length) {
    std::lock_guard oneWriter(u.writing);
    std::unique_lock lock(u.mutex);
    if (!u.plugged) return -1;
    Device& d = u.d;
    if (auto stall = take(d.faults, FaultKind::StallOutput)) {
        u.stalledUntil = WallClock::now() + std::chrono::milliseconds(stall->hasValue ? stall->value : 6000);
        traceEvent(d.trace, d.clockUs, "fault stall-output: output endpoint stalled");
    }
    if (WallClock::now() < u.stalledUntil) return 0;
    if (data == nullptr || !takesReport(d, data, length)) {
        traceEvent(d.trace, d.clockUs,
                   "output report refused by the driver: " + std::to_string(length) + " bytes" +
                       (data && length ? ", id " + std::to_string(data[0]) : std::string()));
        return 0;
    }
    const size_t size = reportSizeOf(d, data);
    const uint64_t frames = timing::framesOf(size);
    const uint64_t start = std::max(d.clockUs, d.inFreeUs);
    d.anchorWall = WallClock::now();
    d.anchorModelUs = start;
    d.clockUs = start + frames * timing::kFrameUs;
    const WallClock::time_point frameEnd = d.anchorWall + std::chrono::microseconds(frames * timing::kFrameUs);
    traceReport(d.trace, start, true, data, size, length);

    // The Nth report of unplug-after still arrives; the cable goes after it.
    const bool pulled = countDown(d.faults, FaultKind::UnplugAfter);
    d.changed = false;
    d.powerCut = false;
    handleReport(d, data);
    const bool cut = d.powerCut || pulled;
    const bool save = d.changed && u.persist;
    if (cut) d.inbox.clear();
    u.wake.notify_all();
    lock.unlock();

    // Persist on this thread, without the device lock: only a writer changes
    // the storage, and a reader must not wait for the disk.
    std::exception_ptr failure;
    if (save) {
        try {
            u.persist(d.storage);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (cut) {
        // Saved before it disappears, so whoever sees it gone can reopen it.
        std::lock_guard relock(u.mutex);
        pullPlug(u, pulled ? "fault unplug-after: unplugged" : "power failed: unplugged");
    }
    if (failure) std::rethrow_exception(failure);
    // Some platforms wake a sleeper early (whole-millisecond sleeps): loop.
    if (d.timing)
        while (WallClock::now() < frameEnd) std::this_thread::sleep_until(frameEnd);
    return static_cast<int>(length);
}

int readReport(Unit& u, uint8_t* buffer, size_t capacity, int timeoutMs) {
    std::unique_lock lock(u.mutex);
    const auto deadline = WallClock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        if (!u.plugged) return -1;
        if (u.cancels > 0) {
            --u.cancels;
            return -1;
        }
        const auto now = WallClock::now();
        Device& d = u.d;
        if (!d.inbox.empty() && d.inbox.front().due <= now) {
            InReport r = std::move(d.inbox.front());
            d.inbox.pop_front();
            const size_t n = std::min(capacity, r.bytes.size());
            if (n) std::memcpy(buffer, r.bytes.data(), n);
            if (countDown(d.faults, FaultKind::UnplugAfter)) pullPlug(u, "fault unplug-after: unplugged");
            return static_cast<int>(n);
        }
        if (timeoutMs >= 0 && now >= deadline) return 0;
        if (!d.inbox.empty()) {
            const auto until = timeoutMs >= 0 ? std::min(deadline, d.inbox.front().due) : d.inbox.front().due;
            u.wake.wait_until(lock, until);
        } else if (timeoutMs >= 0) {
            u.wake.wait_until(lock, deadline);
        } else {
            u.wake.wait(lock);
        }
    }
}

void cancelRead(Unit& u) {
    std::lock_guard lock(u.mutex);
    ++u.cancels;
    u.wake.notify_all();
}

void unplug(Unit& u) {
    std::lock_guard lock(u.mutex);
    pullPlug(u, "unplugged");
}

bool isPlugged(const Unit& u) {
    std::lock_guard lock(u.mutex);
    return u.plugged;
}

bool armFault(Unit& u, const std::string& spec) {
    const auto specs = parseFaults(spec);
    if (!specs) return false;
    std::lock_guard lock(u.mutex);
    arm(u.d.faults, *specs);
    traceEvent(u.d.trace, std::max(u.d.clockUs, u.d.inFreeUs), "fault armed: " + spec);
    return true;
}

const Identity& identityOf(const Unit& u) { return u.d.id; }

Storage& storageOf(Unit& u) { return u.d.storage; }

bool outputStalled(const Unit& u) {
    std::lock_guard lock(u.mutex);
    return WallClock::now() < u.stalledUntil;
}

uint64_t modelTimeUs(const Unit& u) {
    std::lock_guard lock(u.mutex);
    return std::max(u.d.clockUs, u.d.inFreeUs);
}

} // namespace vunit
