// Status of the interface processor and power of the main processor.
#include "../link/clock.h"
#include "../link/stream_framing.h"
#include "../link/transport.h"
#include "../link/unit_table.h"
#include "exchange.h"
#include "zelusb.h"

#include <cstring>
#include <ctime>

using namespace zel;

namespace {
constexpr uint8_t kOpStatus = 0x15, kOpPins = 0x16, kOpPowerOffTransport = 0x19, kOpPowerOffRefused = 0x1A;

bool sendControl(int unit, uint8_t what, const uint8_t* bytes = nullptr, size_t count = 0) {
    uint8_t report[kReportBuffer] = {};
    report[0] = 0x20;
    report[1] = what;
    if (count) std::memcpy(report + 2, bytes, count);
    return sendReport(unit, report, sizeof report);
}

// Packet units answer power commands with one byte whose value isn't looked at.
int packetPowerCommand(int unit, const uint8_t* request, size_t length) {
    const bool sent = sendMessage(unit, request, length);
    uint8_t answer[1];
    size_t got = 1;
    const bool received = receiveResponse(unit, answer, &got, kResponseTimeoutMs);
    return sent && received ? 1 : 0;
}
} // namespace

int ZELStatus(int unit, _ZEL_STATUS* status) {
    UnitRecord* u = record(unit);
    if (!u || !status) return 0;
    if (!u->stream) {
        uint8_t request = 0x22;
        uint8_t answer[2] = {};
        if (!ZELDoTransaction(unit, &request, 1, answer, 2, kResponseTimeoutMs)) return 0;
        status->b[0] = 0;
        status->b[1] = answer[1] & 1;
        status->b[2] = 2;
        status->b[3] = 0;
        return 1;
    }
    if (!sendControl(unit, 1)) {
        orOperation(unit, kOpStatus);
        return 0;
    }
    // Whole seconds of the calendar clock, as the unit's own firmware tools count.
    const std::time_t start = std::time(nullptr);
    for (;;) {
        if (u->statusReady) {
            std::lock_guard<std::mutex> lock(u->statusMutex);
            std::memcpy(status->b, u->statusReport + 1, 4);
            u->statusReady = false;
            return 1;
        }
        if (std::time(nullptr) - start > 5) break;
        fixedWait(10);
    }
    setErrorCode(unit, kNoStatusReport | (static_cast<uint32_t>(kOpStatus) << 24));
    return 0;
}

int ZELSetPins(int unit, _ZEL_PINS pins) {
    if (!isStreamUnit(unit)) return record(unit) ? 1 : 0;
    if (!sendControl(unit, 2, pins.pin, 6)) {
        orOperation(unit, kOpPins);
        return 0;
    }
    return 1;
}

int ZELPowerOn(int unit) {
    if (!record(unit)) return 0;
    if (!isStreamUnit(unit)) {
        const uint8_t request[2] = {0x1D, 4};
        return packetPowerCommand(unit, request, 2);
    }
    if (!ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 0}})) return 0;
    fixedWait(3500);
    return ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 2}});
}

int ZELPowerOff(int unit) {
    if (!record(unit)) return 0;
    if (!isStreamUnit(unit)) {
        const uint8_t request = 0x0F;
        return packetPowerCommand(unit, &request, 1);
    }
    uint8_t report[kReportBuffer];
    report[0] = 0x13;
    report[1] = STX;
    report[2] = 0x0F;
    std::memset(report + 3, EOT, 317);
    report[320] = ETX;
    if (!sendReport(unit, report, sizeof report)) {
        orOperation(unit, kOpPowerOffTransport);
        return 0;
    }
    uint8_t answer[1024];
    size_t got = sizeof answer;
    if (!receiveResponse(unit, answer, &got, kResponseTimeoutMs)) {
        orOperation(unit, kOpPowerOffTransport);
        return 0;
    }
    if (got == 0 || answer[0] != 1) {
        setError(unit, static_cast<uint32_t>(kOpPowerOffRefused) << 24, 0);
        return 0;
    }
    return 1;
}

int ZELSetInterrupts(int unit, unsigned char enable) {
    uint8_t request[2] = {0x1D, static_cast<uint8_t>(enable == 0 ? 1 : 0)};
    uint8_t answer[1024];
    answer[0] = 0;
    if (!ZELDoTransaction(unit, request, 2, answer, sizeof answer, kResponseTimeoutMs)) return 0;
    return answer[0] == 1 || answer[0] == 5 ? 1 : 0;
}
