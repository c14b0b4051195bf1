#include "stream_framing.h"

namespace vunit {

size_t streamReportSize(uint8_t id) {
    switch (id) {
    case 0x10: return 8;
    case 0x11: return 16;
    case 0x12: return 128;
    case 0x13: return 321;
    default: return 0;
    }
}

void resetDecoder(StreamDecoder& d) {
    d.message.clear();
    d.inFrame = d.escape = d.padding = d.overflow = false;
}

void feedStream(StreamDecoder& d, const uint8_t* bytes, size_t n, std::vector<DecodedMessage>& out) {
    for (size_t i = 0; i < n; ++i) {
        uint8_t c = bytes[i];
        if (c == kStx) {
            resetDecoder(d);
            d.inFrame = true;
            continue;
        }
        if (!d.inFrame) continue;
        if (c == kEtx) {
            out.push_back({std::move(d.message), d.overflow});
            resetDecoder(d);
            continue;
        }
        if (d.padding) continue;
        if (c == kEot) {
            d.padding = true;
            d.escape = false;
            continue;
        }
        if (c == kDle) {
            d.escape = true;
            continue;
        }
        if (d.escape) {
            c = static_cast<uint8_t>(c + 0x60);
            d.escape = false;
        }
        if (d.message.size() < kMaxStreamMessage)
            d.message.push_back(c);
        else
            d.overflow = true;
    }
}

std::vector<std::vector<uint8_t>> encodeStreamAnswer(const std::vector<uint8_t>& message) {
    std::vector<uint8_t> stream;
    stream.reserve(message.size() * 2 + 2);
    stream.push_back(kStx);
    for (uint8_t b : message) {
        if (b == kStx || b == kEtx || b == kEot || b == kDle) {
            stream.push_back(kDle);
            stream.push_back(static_cast<uint8_t>(b + 0xA0));
        } else {
            stream.push_back(b);
        }
    }
    stream.push_back(kEtx);
    while (stream.size() % 7) stream.push_back(kEot);
    return rawAnswerReports(stream);
}

std::vector<std::vector<uint8_t>> rawAnswerReports(const std::vector<uint8_t>& raw) {
    std::vector<std::vector<uint8_t>> reports;
    for (size_t i = 0; i < raw.size(); i += 7) {
        std::vector<uint8_t> r(8, 0);
        r[0] = 1;
        for (size_t k = 0; k < 7 && i + k < raw.size(); ++k) r[1 + k] = raw[i + k];
        reports.push_back(std::move(r));
    }
    return reports;
}

} // namespace vunit
