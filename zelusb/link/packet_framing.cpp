#include "packet_framing.h"

#include <cstring>

namespace zel {

bool buildPacketReport(const uint8_t* message, size_t length, uint8_t* report) {
    if (length > kPacketMaxMessage) return false;
    std::memset(report, 0, kPacketReportBuffer);
    report[0] = length <= 12 ? 0x65 : 0x66;
    report[1] = static_cast<uint8_t>(length & 0xFF);
    report[2] = static_cast<uint8_t>(length >> 8);
    if (length) std::memcpy(report + 3, message, length);
    return true;
}

} // namespace zel
