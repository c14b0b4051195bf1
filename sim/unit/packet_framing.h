// Packet-unit framing, the unit's side.
//
// Host to unit: output report 0x65 (15 bytes) or 0x66 (270), written as a
// 271-byte buffer: byte 1-2 the message length n (little-endian), then the
// message. n must fit the report (n <= size - 3) and be at least 1, or the
// message is malformed (the unit refuses it). Either report may carry a short
// message.
// Unit to host: one input report per answer, the smallest that holds it:
// 0xC9 (15 bytes after the id), 0xCA (260) or 0xCB (4080), zero-padded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vunit {

constexpr size_t kPacketBufferSize = 271;
constexpr size_t kMaxPacketAnswer = 4080;

// Size of a packet-unit output report by its id, 0 when the id is not one.
size_t packetReportSize(uint8_t id);

// The message of one output report; nullopt when malformed.
std::optional<std::vector<uint8_t>> decodePacket(const uint8_t* report, size_t size);

// The input report that carries `message` (at most kMaxPacketAnswer bytes).
std::vector<uint8_t> encodePacketAnswer(const std::vector<uint8_t>& message);

} // namespace vunit
