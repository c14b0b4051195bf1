// Stream units carry each message as STX, DLE-stuffed bytes, EOT, zero
// padding and a final ETX, cut into output reports 0x10-0x13; answers come
// back 7 bytes at a time in 8-byte input reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace zel {

constexpr uint8_t STX = 0x02, ETX = 0x03, EOT = 0x04, DLE = 0x10;
constexpr size_t kReportBuffer = 321; // every stream output report is written as this many bytes
constexpr size_t kSlotSize = 4100;    // the longest message a queue slot holds

// Frames `message` into one or more 321-byte report buffers and hands each
// to `send`; stops at the first failed send. `ntFamily` forces the 321-byte
// report for the last piece too.
bool sendStreamMessage(const uint8_t* message, size_t length, bool ntFamily,
                       const std::function<bool(const uint8_t* report)>& send);

// Rebuilds messages from 8-byte input reports.
struct StreamDecoder {
    uint8_t message[kSlotSize];
    size_t length = 0;
    bool inFrame = false;
    bool escape = false;
    bool overflow = false; // the message outgrew the slot: it is dropped at ETX
};

struct StreamEvents {
    std::function<void(const uint8_t* data, size_t length)> message; // a complete message
    std::function<void(const uint8_t* report)> status;               // an id-2 report (8 bytes)
};

// Feeds one 8-byte input report. In unframed mode an id-1 report's 7 bytes
// are the whole message.
void feedStreamReport(StreamDecoder& decoder, const uint8_t* report, bool unframed, const StreamEvents& events);

} // namespace zel
