// One receive thread per open unit: reads input reports, rebuilds messages
// and queues them for whoever waits for a response.
#include "../platform/event.h"
#include "../platform/hid.h"
#include "unit_table.h"

#include <chrono>
#include <cstring>

namespace zel {

void queueMessage(UnitRecord& u, const uint8_t* data, size_t length) {
    if (length > kSlotSize) length = kSlotSize;
    {
        std::lock_guard<std::mutex> lock(u.queueMutex);
        // The write position is the slot just after the newest queued one.
        const int write = (u.readPos + u.queued) % kQueueSlots;
        if (length) std::memcpy(u.slots[write], data, length);
        u.lengths[write] = static_cast<int>(length);
        if (u.queued == kQueueKeeps) u.readPos = (u.readPos + 1) % kQueueSlots;
        else ++u.queued;
    }
    u.queueChanged.notify_all();
    zelplat::signalEvent(u.receiveEvent);
}

namespace {

// Set when a receive thread's own unit was closed on it (from a removal
// handler it called): the record may already be someone else's, so the
// thread leaves without touching it again.
thread_local bool t_closedUnderMe = false;

void streamLoop(UnitRecord& u, zelhid::Device* device) {
    auto decoder = std::make_unique<StreamDecoder>();
    StreamEvents events;
    events.message = [&u](const uint8_t* data, size_t length) { queueMessage(u, data, length); };
    events.status = [&u](const uint8_t* report) {
        std::lock_guard<std::mutex> lock(u.statusMutex);
        std::memcpy(u.statusReport, report, 8);
        u.statusReady = true;
    };
    uint8_t buffer[32];
    for (;;) {
        const int n = zelhid::readReports(device, buffer, sizeof buffer, -1);
        if (n <= 0) break;
        // Whole 8-byte reports only; a remainder is dropped.
        for (int off = 0; off + 8 <= n; off += 8) feedStreamReport(*decoder, buffer + off, u.unframed, events);
    }
    // Wakes anyone waiting for an answer that will never come.
    if (!t_closedUnderMe) queueMessage(u, nullptr, 0);
}

size_t packetPayload(uint8_t id) {
    switch (id) {
    case 0xC9: return 15;
    case 0xCA: return 260;
    case 0xCB: return 4080;
    default: return 0;
    }
}

void packetLoop(UnitRecord& u, zelhid::Device* device) {
    auto buffer = std::make_unique<uint8_t[]>(kSlotSize);
    for (;;) {
        const int n = zelhid::readReports(device, buffer.get(), kSlotSize, -1);
        if (n <= 0) break;
        size_t length = packetPayload(buffer[0]);
        // A report shorter than its id promises: take what arrived.
        if (length > static_cast<size_t>(n - 1)) length = static_cast<size_t>(n - 1);
        queueMessage(u, buffer.get() + 1, length);
    }
}

} // namespace

void startReceiver(int unit) {
    UnitRecord& u = g_units[unit];
    {
        std::lock_guard<std::mutex> lock(u.queueMutex);
        u.queued = 0;
        u.readPos = 0;
    }
    u.statusReady = false;
    {
        std::lock_guard<std::mutex> lock(u.finishedMutex);
        u.receiverFinished = false;
    }
    zelhid::Device* device = u.device;
    u.receiver = std::thread([&u, device] {
        if (u.stream) streamLoop(u, device);
        else packetLoop(u, device);
        if (t_closedUnderMe) return;
        {
            std::lock_guard<std::mutex> lock(u.finishedMutex);
            u.receiverFinished = true;
        }
        u.finishedCv.notify_all();
    });
}

void stopReceiver(UnitRecord& u) {
    zelhid::Device* device = u.device;
    if (device) zelhid::stopReads(device);
    if (!u.receiver.joinable()) return;
    // Closed from its own thread, by a removal notification's handler.
    if (u.receiver.get_id() == std::this_thread::get_id()) {
        t_closedUnderMe = true;
        u.receiver.detach();
        return;
    }
    bool finished;
    {
        std::unique_lock<std::mutex> lock(u.finishedMutex);
        finished = u.finishedCv.wait_for(lock, std::chrono::seconds(2), [&u] { return u.receiverFinished; });
    }
    // A thread that didn't end (killed at process exit) is let go rather than waited for forever.
    if (finished) u.receiver.join();
    else u.receiver.detach();
}

} // namespace zel
