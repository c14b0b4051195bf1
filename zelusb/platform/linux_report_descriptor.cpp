#include "linux_report_descriptor.h"

#include <algorithm>

namespace zelhid::hidraw {

namespace {

constexpr uint8_t kLongItem = 0xFE;
constexpr unsigned kTypeMain = 0;
constexpr unsigned kTypeGlobal = 1;
constexpr unsigned kTagOutput = 0x9;
constexpr unsigned kTagReportSize = 0x7;
constexpr unsigned kTagReportId = 0x8;
constexpr unsigned kTagReportCount = 0x9;
constexpr unsigned kTagPush = 0xA;
constexpr unsigned kTagPop = 0xB;

// Deeper nesting than this is no real device; the kernel allows only 4.
constexpr size_t kMaxPushDepth = 16;
// Beyond the largest report hidraw moves (4096 bytes) the exact size is moot.
constexpr uint64_t kMaxBits = 8u * 65534u;

struct Globals {
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

} // namespace

std::optional<OutputReportSizes> parseOutputReportSizes(const uint8_t* descriptor, size_t size) {
    if (!descriptor || size == 0) return std::nullopt;
    std::array<uint64_t, 256> bits{};
    std::array<Globals, kMaxPushDepth> stack{};
    size_t depth = 0;
    Globals g;

    size_t i = 0;
    while (i < size) {
        const uint8_t prefix = descriptor[i];
        if (prefix == kLongItem) {
            if (size - i < 3) return std::nullopt;
            const size_t skip = 3u + descriptor[i + 1];
            if (size - i < skip) return std::nullopt;
            i += skip;
            continue;
        }
        const size_t dataSize = (prefix & 3u) == 3u ? 4u : (prefix & 3u);
        if (size - i - 1 < dataSize) return std::nullopt;
        uint32_t value = 0;
        for (size_t b = 0; b < dataSize; ++b) value |= static_cast<uint32_t>(descriptor[i + 1 + b]) << (8 * b);
        const unsigned type = (prefix >> 2) & 3u;
        const unsigned tag = prefix >> 4;

        if (type == kTypeMain && tag == kTagOutput) {
            uint64_t& total = bits[g.reportId];
            total = std::min(kMaxBits, total + std::min(kMaxBits, uint64_t{g.reportSize} * g.reportCount));
        } else if (type == kTypeGlobal) {
            switch (tag) {
            case kTagReportSize: g.reportSize = value; break;
            case kTagReportCount: g.reportCount = value; break;
            case kTagReportId:
                if (value == 0 || value > 255) return std::nullopt;
                g.reportId = static_cast<uint8_t>(value);
                break;
            case kTagPush:
                if (depth == kMaxPushDepth) return std::nullopt;
                stack[depth++] = g;
                break;
            case kTagPop:
                if (depth == 0) return std::nullopt;
                g = stack[--depth];
                break;
            default: break;
            }
        }
        i += 1 + dataSize;
    }

    OutputReportSizes sizes;
    for (size_t id = 0; id < bits.size(); ++id) {
        if (bits[id] != 0) sizes.bytes[id] = static_cast<uint16_t>((bits[id] + 7) / 8 + 1);
    }
    return sizes;
}

size_t bytesToSend(const OutputReportSizes* sizes, const uint8_t* data, size_t length) {
    if (!sizes || !data || length == 0) return length;
    const size_t own = sizes->bytes[data[0]];
    return own != 0 && own <= length ? own : length;
}

} // namespace zelhid::hidraw
