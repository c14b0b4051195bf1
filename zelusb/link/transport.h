// Sending reports and messages, taking responses off the queue, and the
// per-unit error words that every command leaves behind.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

struct UnitRecord;

// Transport reasons (low 16 bits of the error code).
enum : uint32_t {
    kNotOpen = 0x1000,
    kWriteFailed = 0x1001,
    kWriteTimeout = 0x1002,
    kWriteShort = 0x1003,
    kNoResponse = 0x2000,
    kNoStatusReport = 0x2001,
    kUnframedRequestLength = 0x3000,
    kUnframedResponseLength = 0x3001,
};

constexpr long kResponseTimeoutMs = 5000;

// One output report of `length` bytes (byte 0 the id).
bool sendReport(int unit, const uint8_t* buffer, size_t length);
// Frames and sends a message the way the unit's kind wants it.
bool sendMessage(int unit, const uint8_t* message, size_t length);
// Takes the oldest queued response into buffer (at most *length bytes);
// *length becomes what was copied. Checks at least once, even with time-out 0.
bool receiveResponse(int unit, uint8_t* buffer, size_t* length, long timeoutMs);

// Error words.
void setError(int unit, uint32_t code, uint32_t detail);
void setErrorCode(int unit, uint32_t code);
void orOperation(int unit, uint8_t operation); // ORs operation << 24 into the code
uint32_t errorCode(int unit);

// Receive waits poll every 10 ms instead of waking on arrival (for comparison).
void setPollingReceive(bool polling);

// The unit's kind.
bool isStreamUnit(int unit);

} // namespace zel
