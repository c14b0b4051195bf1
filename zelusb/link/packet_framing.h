// Packet units take every message as one output report with its length in
// bytes 1-2; answers come one per input report.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

constexpr size_t kPacketReportBuffer = 271; // the larger report (270) plus one
constexpr size_t kPacketMaxMessage = 267;

// Fills `report` (kPacketReportBuffer bytes): 0x65 for up to 12 bytes, 0x66
// up to 267. False, with nothing built, for a longer message.
bool buildPacketReport(const uint8_t* message, size_t length, uint8_t* report);

} // namespace zel
