// Stream-unit framing, the unit's side.
//
// Host to unit: output reports 0x10 (8 bytes), 0x11 (16), 0x12 (128) and
// 0x13 (321) carry a byte stream; the unit reads the report's own size and
// ignores the rest of the host's 321-byte buffer. A message is
//   STX, the message with STX/ETX/EOT/DLE sent as DLE, b + 0xA0, EOT, padding, ETX
// and may run over several reports (continuations carry no STX; an escape
// pair may be split between reports). The decoder:
//   STX  starts a message, dropping any partial one;
//   ETX  ends it (outside a message it is ignored);
//   EOT  ends the data: bytes up to the ETX are padding;
//   DLE  makes the next byte (b + 0x60) AND 0xFF;
//   any byte outside a message, or after EOT, is ignored.
// A message longer than kMaxStreamMessage is still read to its ETX but then
// marked overflowed (the unit refuses it). An empty frame (STX ETX, as the
// host's "send ETX" makes) is no request and gets no answer.
//
// Unit to host: 8-byte input reports, id 1, seven stream bytes each: STX, the
// stuffed message, ETX, and the last report filled up with EOT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vunit {

constexpr uint8_t kStx = 0x02, kEtx = 0x03, kEot = 0x04, kDle = 0x10;
constexpr size_t kMaxStreamMessage = 4096;

// Size of a stream-unit output report by its id, 0 when the id is not one.
size_t streamReportSize(uint8_t id);

struct StreamDecoder {
    std::vector<uint8_t> message;
    bool inFrame = false;
    bool escape = false;
    bool padding = false;
    bool overflow = false;
};

struct DecodedMessage {
    std::vector<uint8_t> bytes;
    bool overflow = false;
};

void resetDecoder(StreamDecoder& d);
// Feeds the stream bytes of one report; complete messages are appended to `out`.
void feedStream(StreamDecoder& d, const uint8_t* bytes, size_t n, std::vector<DecodedMessage>& out);

// The 8-byte input reports (id 1) that carry `message`.
std::vector<std::vector<uint8_t>> encodeStreamAnswer(const std::vector<uint8_t>& message);
// Raw 7-byte blocks as input reports id 1 (unframed answers); `raw` is a
// multiple of 7 bytes.
std::vector<std::vector<uint8_t>> rawAnswerReports(const std::vector<uint8_t>& raw);

} // namespace vunit
