// One receive thread per open unit: reads input reports, rebuilds messages
// and queues them for whoever waits for a response. The thread holds its
// open's session; everything it puts into the record goes in under the
// session's live lock, so once a close has cleared `live` (even a close that
// gave up waiting for it) the record is left alone: a later open may own it.
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

Session::~Session() { zelhid::close(device); }

namespace {

void streamLoop(UnitRecord& u, Session& s) {
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
        const int n = zelhid::readReports(s.device, buffer, sizeof buffer, -1);
        if (n <= 0) break;
        std::lock_guard<std::mutex> live(s.liveMutex);
        if (!s.live) return;
        // Whole 8-byte reports only; a remainder is dropped.
        for (int off = 0; off + 8 <= n; off += 8) feedStreamReport(*decoder, buffer + off, u.unframed, events);
    }
    // Wakes anyone waiting for an answer that will never come.
    std::lock_guard<std::mutex> live(s.liveMutex);
    if (s.live) queueMessage(u, nullptr, 0);
}

size_t packetPayload(uint8_t id) {
    switch (id) {
    case 0xC9: return 15;
    case 0xCA: return 260;
    case 0xCB: return 4080;
    default: return 0;
    }
}

void packetLoop(UnitRecord& u, Session& s) {
    auto buffer = std::make_unique<uint8_t[]>(kSlotSize);
    for (;;) {
        const int n = zelhid::readReports(s.device, buffer.get(), kSlotSize, -1);
        if (n <= 0) break;
        size_t length = packetPayload(buffer[0]);
        // A report shorter than its id promises: take what arrived.
        if (length > static_cast<size_t>(n - 1)) length = static_cast<size_t>(n - 1);
        std::lock_guard<std::mutex> live(s.liveMutex);
        if (!s.live) return;
        queueMessage(u, buffer.get() + 1, length);
    }
}

} // namespace

void startReceiver(UnitRecord& u, std::shared_ptr<Session> session) {
    {
        std::lock_guard<std::mutex> lock(u.queueMutex);
        u.queued = 0;
        u.readPos = 0;
    }
    u.statusReady = false;
    const bool stream = u.stream;
    u.receiver = std::thread([&u, stream, s = std::move(session)] {
        if (stream) streamLoop(u, *s);
        else packetLoop(u, *s);
        {
            std::lock_guard<std::mutex> lock(s->finishedMutex);
            s->finished = true;
        }
        s->finishedCv.notify_all();
    });
}

void stopReceiver(UnitRecord& u, Session& s) {
    zelhid::stopReads(s.device);
    if (!u.receiver.joinable()) return;
    const bool ownThread = u.receiver.get_id() == std::this_thread::get_id();
    bool finished = false;
    if (!ownThread) {
        std::unique_lock<std::mutex> lock(s.finishedMutex);
        finished = s.finishedCv.wait_for(lock, std::chrono::seconds(2), [&s] { return s.finished; });
    }
    {
        std::lock_guard<std::mutex> live(s.liveMutex);
        s.live = false;
    }
    // A thread that didn't end (killed at process exit, or a read that
    // ignores the stop) is let go rather than waited for forever.
    if (finished) u.receiver.join();
    else u.receiver.detach();
}

} // namespace zel
