// Output report lengths from a HID report descriptor, so that a report is
// written with its own length rather than the caller's whole buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zelhid::hidraw {

// Bytes of each output report as hidraw takes it, the id byte included
// (byte 0 is 0 on a device without report ids); 0 where none is declared.
struct OutputReportSizes {
    std::array<uint16_t, 256> bytes{};
};

// nullopt when the descriptor is truncated or inconsistent.
std::optional<OutputReportSizes> parseOutputReportSizes(const uint8_t* descriptor, size_t size);

// How much of a `length`-byte buffer whose byte 0 is the report id to hand to
// the kernel: the report's own length when known and no longer than the buffer.
size_t bytesToSend(const OutputReportSizes* sizes, const uint8_t* data, size_t length);

} // namespace zelhid::hidraw
