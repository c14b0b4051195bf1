#include "hex_text.h"

#include <algorithm>
#include <cstdio>

namespace hextext {

std::string record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                               static_cast<uint8_t>(address & 0xFF), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<uint8_t>(-static_cast<int>(sum) & 0xFF));
    std::string line = ":";
    char two[3];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        line += two;
    }
    return line;
}

std::string hexFile(const std::vector<Chunk>& chunks, const std::string& chipName, const std::string& afterEnd) {
    std::string text;
    uint32_t upper = 0;
    text += record(4, 0, {0, 0}) + "\n";
    for (const Chunk& c : chunks) {
        for (size_t i = 0; i < c.bytes.size();) {
            const uint32_t a = c.address + static_cast<uint32_t>(i);
            if (a >> 16 != upper) {
                upper = a >> 16;
                text += record(4, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)}) + "\n";
            }
            // Up to 16 bytes, not across a 64 KiB boundary.
            size_t n = std::min<size_t>(16, c.bytes.size() - i);
            n = std::min<size_t>(n, 0x10000 - (a & 0xFFFF));
            text += record(0, static_cast<uint16_t>(a & 0xFFFF),
                           std::vector<uint8_t>(c.bytes.begin() + static_cast<long>(i),
                                                c.bytes.begin() + static_cast<long>(i + n))) +
                    "\n";
            i += n;
        }
    }
    return text + record(1, 0, {}) + "\n" + afterEnd + chipName + "\n";
}

std::vector<uint8_t> countingWords(uint32_t count, uint16_t seed) {
    std::vector<uint8_t> b;
    for (uint32_t k = 0; k < count; ++k) {
        const uint16_t w = static_cast<uint16_t>(seed + 3 * k) | 0x0100; // never 0
        b.push_back(static_cast<uint8_t>(w & 0xFF));
        b.push_back(static_cast<uint8_t>(w >> 8));
    }
    return b;
}

std::vector<uint8_t> imageOf(const std::vector<Chunk>& chunks, size_t imageBytes) {
    std::vector<uint8_t> image(imageBytes, 0);
    for (const Chunk& c : chunks)
        for (size_t i = 0; i < c.bytes.size(); ++i)
            if (c.address + i < imageBytes) image[c.address + i] = c.bytes[i];
    return image;
}

} // namespace hextext
