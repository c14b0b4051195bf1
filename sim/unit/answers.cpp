// Everything the unit sends goes through sendAnswer: faults first, then the
// unit's framing, then the input pipe of the model clock.
#include "device.h"
#include "packet_framing.h"
#include "timing.h"

#include <algorithm>
#include <string>

namespace vunit {

std::vector<uint8_t> refused() { return {0x00}; }

size_t readAnswerLength(Device& d, size_t asked) {
    const auto fault = take(d.faults, FaultKind::ShortRead);
    if (!fault) return asked;
    const size_t cut = fault->hasValue ? std::min<size_t>(fault->value, asked) : asked / 2;
    traceEvent(d.trace, d.clockUs, "fault short-read: " + std::to_string(cut) + " of " + std::to_string(asked) + " bytes");
    return cut;
}

bool powerFailsDuring(Device& d, FaultKind kind) {
    // Both counters move with every operation, whichever fires.
    const bool ofItsKind = countDown(d.faults, kind);
    const bool ofAnyKind = countDown(d.faults, FaultKind::PowerCut);
    d.cutBefore = countDown(d.faults, FaultKind::PowerOff);
    if (!ofItsKind && !ofAnyKind && !d.cutBefore) return false;
    d.powerCut = true;
    d.changed = true;
    traceEvent(d.trace, d.clockUs,
               d.cutBefore ? "fault power-off"
                           : kind == FaultKind::PowerCutErase ? "fault power-cut during erase" : "fault power-cut during program");
    return true;
}

namespace {

void queueReport(Device& d, std::vector<uint8_t> bytes, uint64_t readyUs, uint64_t extraWallUs) {
    const uint64_t start = std::max(readyUs, d.inFreeUs);
    const uint64_t end = start + timing::framesOf(bytes.size()) * timing::kFrameUs;
    d.inFreeUs = end;
    const uint64_t waitUs = d.timing ? end - d.anchorModelUs : extraWallUs;
    const WallClock::time_point due = std::max(d.lastDue, d.anchorWall + std::chrono::microseconds(waitUs));
    d.lastDue = due;
    traceReport(d.trace, start, false, bytes.data(), bytes.size(), bytes.size());
    if (d.inbox.size() == kInputBuffers) {
        d.inbox.pop_front();
        traceEvent(d.trace, start, "input buffers full: oldest report lost");
    }
    d.inbox.push_back({std::move(bytes), due});
}

} // namespace

void sendAnswer(Device& d, AnswerKind kind, std::vector<uint8_t> message, uint64_t readyUs) {
    if (take(d.faults, FaultKind::DropResponse)) {
        traceEvent(d.trace, readyUs, "fault drop-response");
        return;
    }
    uint64_t extraWallUs = 0;
    if (const auto late = take(d.faults, FaultKind::LateResponse)) {
        const uint64_t ms = late->hasValue ? late->value : 6000;
        traceEvent(d.trace, readyUs, "fault late-response: " + std::to_string(ms) + " ms");
        readyUs += ms * 1000;
        extraWallUs = ms * 1000;
    }
    if (kind != AnswerKind::Status && !message.empty() && take(d.faults, FaultKind::WrongCode)) {
        traceEvent(d.trace, readyUs, "fault wrong-code");
        message[0] = 0xEE;
    }
    const bool stream = d.id.kind == Kind::Stream;
    if (const auto garbage = take(d.faults, FaultKind::Garbage)) {
        const uint32_t n = garbage->hasValue ? garbage->value : 3;
        traceEvent(d.trace, readyUs, "fault garbage: " + std::to_string(n) + " reports");
        for (uint32_t i = 0; i < n; ++i) {
            std::vector<uint8_t> r(stream ? 8 : 16);
            r[0] = stream ? 0x01 : 0xC9;
            for (size_t k = 1; k < r.size(); ++k) r[k] = randomByte(d.rng);
            queueReport(d, std::move(r), readyUs, extraWallUs);
        }
    }
    switch (kind) {
    case AnswerKind::Status: queueReport(d, std::move(message), readyUs, extraWallUs); break;
    case AnswerKind::Raw:
        for (auto& r : rawAnswerReports(message)) queueReport(d, std::move(r), readyUs, extraWallUs);
        break;
    case AnswerKind::Response:
        if (stream) {
            for (auto& r : encodeStreamAnswer(message)) queueReport(d, std::move(r), readyUs, extraWallUs);
        } else {
            queueReport(d, encodePacketAnswer(message), readyUs, extraWallUs);
        }
        break;
    }
}

} // namespace vunit
