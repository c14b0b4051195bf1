// The process-wide table of 25 units: what each open unit's receive thread
// fills and every command reads. All per-unit state lives here.
#pragma once

#include "session.h"
#include "stream_framing.h"
#include "zelusb.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <memory>
#include <string>
#include <thread>

namespace zelplat {
struct Event;
}

namespace zel {

constexpr int kMaxUnits = 25;
constexpr int kQueueSlots = 50;
constexpr int kQueueKeeps = 49; // one slot is always the receive thread's to fill

struct UnitRecord {
    // The open in progress (null: the unit is free) and its device path,
    // guarded by sessionMutex. Callers take a copy of the pointer and use the
    // device through it, never through the record.
    std::shared_ptr<Session> session;
    std::string path;
    std::mutex sessionMutex;
    // Set at open; a caller still holding an old unit number may read it meanwhile.
    std::atomic<bool> stream{true};

    // Response queue. Slots are filled by the receive thread before it takes
    // the mutex; the mutex guards queued, readPos and lengths.
    uint8_t slots[kQueueSlots][kSlotSize];
    int lengths[kQueueSlots] = {};
    int queued = 0;
    int readPos = 0;
    std::mutex queueMutex;
    std::condition_variable queueChanged; // wakes receive waits at once
    zelplat::Event* receiveEvent = nullptr;

    uint8_t statusReport[8] = {};
    std::atomic<bool> statusReady{false};
    std::mutex statusMutex; // the report's 8 bytes are copied under it

    std::atomic<bool> cancel{false};
    std::atomic<bool> unframed{false};

    // Registered from the caller's thread, read by whichever thread posts.
    std::atomic<HWND> statusWindow{nullptr};
    std::atomic<uint32_t> statusTag{0};

    // Atomic so that a close from a removal handler can't race a call in flight.
    std::atomic<uint32_t> errorCode{0};
    std::atomic<uint32_t> errorDetail{0};

    // Started by the open, joined (or let go) by the close; both under the
    // table's mutex, so nothing else touches it.
    std::thread receiver;
};

extern std::array<UnitRecord, kMaxUnits>& g_units;
extern std::atomic<bool> g_initialised;
extern std::atomic<bool> g_ntFamily;

// The record of an open unit, or nullptr.
UnitRecord* openRecord(int unit);
// The unit's current open, or null: hold it while using its device.
std::shared_ptr<Session> sessionOf(int unit);
// The record of any valid unit number (open or not), or nullptr.
UnitRecord* record(int unit);

// Queues one message (the receive thread's step); drops the oldest when 49 wait.
void queueMessage(UnitRecord& u, const uint8_t* data, size_t length);

// Closes every open unit: the library is going away.
void closeAllUnits();

// Starts the receive thread of a unit just opened as `session`.
void startReceiver(UnitRecord& u, std::shared_ptr<Session> session);
// Stops it and waits (at most 2 s) for it to end; afterwards the thread, if
// it still runs, no longer touches the record.
void stopReceiver(UnitRecord& u, Session& session);

} // namespace zel
