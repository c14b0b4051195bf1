// The exported transactions: framed, unframed, and the queue and error-word calls.
#include "stream_framing.h"
#include "transport.h"
#include "unit_table.h"
#include "zelusb.h"

#include <cstring>
#include <vector>

using namespace zel;

int ZELDoTransaction(int unit, unsigned char* request, unsigned int requestLength, unsigned char* response,
                     unsigned int responseLength, long timeoutMs) {
    if (!record(unit) || !request || requestLength == 0) return 0;
    if (!sendMessage(unit, request, requestLength)) return 0;
    if (responseLength == 0) return 1;
    if (!response) return 0;
    size_t length = responseLength;
    return receiveResponse(unit, response, &length, timeoutMs) ? 1 : 0;
}

int ZELDoUnframedTransaction(int unit, unsigned char* request, unsigned int requestLength, unsigned char* response,
                             unsigned int responseLength, long timeoutMs, unsigned char singleReport) {
    UnitRecord* u = record(unit);
    if (!u || !u->stream) return 0;
    if (requestLength % 7 != 0) {
        setError(unit, kUnframedRequestLength, 0);
        return 0;
    }
    if (responseLength % 7 != 0) {
        setError(unit, kUnframedResponseLength, 0);
        return 0;
    }
    const bool single = g_ntFamily || singleReport;
    // One report holds at most 320 request bytes; more would not fit it.
    if (single && requestLength > kReportBuffer - 1) {
        setError(unit, kUnframedRequestLength, 0);
        return 0;
    }
    if ((requestLength && !request) || (responseLength && !response)) return 0;
    u->unframed = true;
    uint8_t report[kReportBuffer];
    bool sent = true;
    if (single) {
        std::memset(report, 0, sizeof report);
        report[0] = 0x13;
        if (requestLength) std::memcpy(report + 1, request, requestLength);
        sent = sendReport(unit, report, sizeof report);
    } else {
        for (unsigned int off = 0; sent && off < requestLength; off += 7) {
            std::memset(report, 0, sizeof report);
            report[0] = 0x10;
            std::memcpy(report + 1, request + off, 7);
            sent = sendReport(unit, report, sizeof report);
        }
    }
    if (!sent) {
        u->unframed = false;
        return 0;
    }
    unsigned int offset = 0;
    while (offset < responseLength) {
        size_t length = responseLength - offset;
        if (!receiveResponse(unit, response + offset, &length, timeoutMs)) {
            u->unframed = false;
            return 0;
        }
        // An empty message means the unit went away: don't spin on it.
        if (length == 0) {
            u->errorCode = kNoResponse;
            u->unframed = false;
            return 0;
        }
        offset += static_cast<unsigned int>(length);
    }
    u->unframed = false;
    return 1;
}

unsigned char* ZELGetFirstAvailableResponse(int unit, int* length, int* queued) {
    if (length) *length = 0;
    if (queued) *queued = 0;
    UnitRecord* u = record(unit);
    if (!u) return nullptr;
    std::lock_guard<std::mutex> lock(u->queueMutex);
    if (u->queued == 0) return nullptr;
    if (length) *length = u->lengths[u->readPos];
    if (queued) *queued = u->queued;
    unsigned char* slot = u->slots[u->readPos];
    --u->queued;
    u->readPos = (u->readPos + 1) % kQueueSlots;
    return slot;
}

int ZELGetLastError(int unit, unsigned long& code, unsigned long& detail) {
    UnitRecord* u = openRecord(unit);
    if (!u) return 0;
    code = u->errorCode;
    detail = u->errorDetail;
    return 1;
}

int ZELSendETX(int unit) {
    uint8_t report[kReportBuffer];
    std::memset(report, ETX, sizeof report);
    report[0] = 0x10;
    report[1] = STX;
    sendReport(unit, report, sizeof report);
    return 1;
}

int ZELReframe(int unit) {
    if (!record(unit)) return 0;
    uint8_t scratch[1024];
    // Bounded, so a unit that never stops talking can't hold us here.
    for (int i = 0; i < 4 * kQueueSlots; ++i) {
        size_t length = sizeof scratch;
        if (!receiveResponse(unit, scratch, &length, 0)) break;
    }
    if (!isStreamUnit(unit)) return 1;
    uint8_t report[kReportBuffer] = {};
    report[0] = 0x20;
    report[1] = 0;
    if (sendReport(unit, report, sizeof report)) return 1;
    orOperation(unit, 0x14);
    return 0;
}
