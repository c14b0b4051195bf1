#include "stream_framing.h"

#include <cstring>

namespace zel {

namespace {
bool needsEscape(uint8_t b) { return b == STX || b == ETX || b == EOT || b == DLE; }
} // namespace

bool sendStreamMessage(const uint8_t* message, size_t length, bool ntFamily,
                       const std::function<bool(const uint8_t* report)>& send) {
    uint8_t p[kReportBuffer] = {};
    size_t i = 2;
    p[1] = STX;
    auto put = [&](uint8_t b) -> bool {
        p[i++] = b;
        if (i == kReportBuffer) { // full: out it goes, continuations carry no STX
            p[0] = 0x13;
            if (!send(p)) return false;
            std::memset(p, 0, sizeof p);
            i = 1;
        }
        return true;
    };
    for (size_t k = 0; k < length; ++k) {
        const uint8_t b = message[k];
        if (needsEscape(b)) {
            if (!put(DLE) || !put(static_cast<uint8_t>(b + 0xA0))) return false;
        } else if (!put(b)) {
            return false;
        }
    }
    size_t size = 321;
    uint8_t id = 0x13;
    if (!ntFamily) {
        if (i <= 7) size = 8, id = 0x10;
        else if (i <= 15) size = 16, id = 0x11;
        else if (i <= 127) size = 128, id = 0x12;
    }
    if (i < size - 1) {
        p[i] = EOT;
        std::memset(p + i + 1, 0, size - 2 - i);
    }
    std::memset(p + size, 0, kReportBuffer - size);
    p[0] = id;
    p[size - 1] = ETX;
    return send(p);
}

void feedStreamReport(StreamDecoder& d, const uint8_t* report, bool unframed, const StreamEvents& events) {
    if (report[0] == 2) {
        if (events.status) events.status(report);
        return;
    }
    if (report[0] != 1) return;
    if (unframed) {
        if (events.message) events.message(report + 1, 7);
        return;
    }
    for (int k = 1; k < 8; ++k) {
        uint8_t c = report[k];
        switch (c) {
        case STX:
            d.length = 0;
            d.inFrame = true;
            d.escape = false;
            d.overflow = false;
            break;
        case ETX:
            d.escape = false;
            if (d.inFrame) {
                if (!d.overflow && events.message) events.message(d.message, d.length);
                d.length = 0;
                d.inFrame = false;
                d.overflow = false;
            }
            break;
        case EOT:
            d.escape = false;
            break;
        case DLE:
            d.escape = true;
            break;
        default:
            if (d.escape) {
                c = static_cast<uint8_t>(c + 0x60);
                d.escape = false;
            }
            // Bytes past the slot are never stored; such a message is dropped whole.
            if (d.length < kSlotSize) d.message[d.length++] = c;
            else d.overflow = true;
            break;
        }
    }
}

} // namespace zel
