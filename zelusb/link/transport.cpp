#include "transport.h"

#include "../platform/hid.h"
#include "clock.h"
#include "packet_framing.h"
#include "unit_table.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace zel {

namespace {
std::atomic<bool> g_polling{false};
constexpr long kWriteTimeoutMs = 5000;
} // namespace

void setPollingReceive(bool polling) { g_polling = polling; }

void setError(int unit, uint32_t code, uint32_t detail) {
    if (UnitRecord* u = record(unit)) {
        u->errorCode = code;
        u->errorDetail = detail;
    }
}
void setErrorCode(int unit, uint32_t code) {
    if (UnitRecord* u = record(unit)) u->errorCode = code;
}
void orOperation(int unit, uint8_t operation) {
    if (UnitRecord* u = record(unit)) u->errorCode |= static_cast<uint32_t>(operation) << 24;
}
uint32_t errorCode(int unit) {
    UnitRecord* u = record(unit);
    return u ? u->errorCode.load() : 0u;
}

bool isStreamUnit(int unit) {
    UnitRecord* u = record(unit);
    return u && u->stream;
}

bool sendReport(int unit, const uint8_t* buffer, size_t length) {
    // Held for the write: a close from another thread can't free the device under it.
    const std::shared_ptr<Session> session = sessionOf(unit);
    if (!session) {
        setError(unit, kNotOpen, 0);
        return false;
    }
    const zelhid::WriteResult r = zelhid::writeReport(session->device, buffer, length, kWriteTimeoutMs);
    switch (r.status) {
    case zelhid::WriteStatus::Ok:
        return true;
    case zelhid::WriteStatus::Failed:
        setError(unit, kWriteFailed, 0);
        return false;
    case zelhid::WriteStatus::TimedOut:
    case zelhid::WriteStatus::Abandoned:
        setError(unit, kWriteTimeout, r.waitResult);
        return false;
    case zelhid::WriteStatus::Short:
        setError(unit, kWriteShort, static_cast<uint32_t>(length << 16) | (r.written & 0xFFFFu));
        return false;
    }
    return false;
}

bool sendMessage(int unit, const uint8_t* message, size_t length) {
    UnitRecord* u = record(unit);
    if (!u) return false;
    if (u->stream) {
        return sendStreamMessage(message, length, g_ntFamily,
                                 [unit](const uint8_t* report) { return sendReport(unit, report, kReportBuffer); });
    }
    uint8_t report[kPacketReportBuffer];
    if (!buildPacketReport(message, length, report)) return false;
    return sendReport(unit, report, sizeof report);
}

namespace {
// Takes the oldest response if there is one; the caller holds the mutex.
bool takeOldest(UnitRecord& u, uint8_t* buffer, size_t* length) {
    if (u.queued == 0) return false;
    const size_t n = std::min(*length, static_cast<size_t>(u.lengths[u.readPos]));
    if (n) std::memcpy(buffer, u.slots[u.readPos], n);
    *length = n;
    --u.queued;
    u.readPos = (u.readPos + 1) % kQueueSlots;
    return true;
}
} // namespace

bool receiveResponse(int unit, uint8_t* buffer, size_t* length, long timeoutMs) {
    UnitRecord* u = record(unit);
    if (!u) return false;
    const int64_t start = nowMs();
    std::unique_lock<std::mutex> lock(u->queueMutex);
    for (;;) {
        if (takeOldest(*u, buffer, length)) return true;
        const int64_t elapsed = nowMs() - start;
        if (elapsed > timeoutMs) break;
        if (g_polling) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            lock.lock();
        } else {
            // Past the time-out by a hair, so the last check sees "more than".
            const int64_t slice = std::min<int64_t>(timeoutMs - elapsed + 1, 60'000);
            u->queueChanged.wait_for(lock, std::chrono::milliseconds(slice));
        }
    }
    u->errorCode = kNoResponse;
    return false;
}

} // namespace zel
