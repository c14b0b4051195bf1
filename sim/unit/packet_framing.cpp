#include "packet_framing.h"

#include <algorithm>

namespace vunit {

size_t packetReportSize(uint8_t id) {
    switch (id) {
    case 0x65: return 15;
    case 0x66: return 270;
    default: return 0;
    }
}

std::optional<std::vector<uint8_t>> decodePacket(const uint8_t* report, size_t size) {
    if (size < 3) return std::nullopt;
    const size_t n = static_cast<size_t>(report[1]) | static_cast<size_t>(report[2]) << 8;
    if (n == 0 || n > size - 3) return std::nullopt;
    return std::vector<uint8_t>(report + 3, report + 3 + n);
}

std::vector<uint8_t> encodePacketAnswer(const std::vector<uint8_t>& message) {
    uint8_t id = 0xCB;
    size_t size = kMaxPacketAnswer;
    if (message.size() <= 15) {
        id = 0xC9;
        size = 15;
    } else if (message.size() <= 260) {
        id = 0xCA;
        size = 260;
    }
    std::vector<uint8_t> r(size + 1, 0);
    r[0] = id;
    std::copy_n(message.begin(), std::min(message.size(), size), r.begin() + 1);
    return r;
}

} // namespace vunit
