// Intel HEX text for the tests, written independently of the reader: data
// records of up to 16 bytes, an 04 record wherever the upper address changes,
// the end-of-file record, then the chip name after a blank line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hextext {

struct Chunk {
    uint32_t address; // byte address
    std::vector<uint8_t> bytes;
};

// One record line (no line end), checksum included.
std::string record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data);
// A whole file; `afterEnd` goes between the end-of-file record's line end and the name.
std::string hexFile(const std::vector<Chunk>& chunks, const std::string& chipName, const std::string& afterEnd = "\n");

// `count` words of distinct nonzero values (low byte first), from `seed` on.
std::vector<uint8_t> countingWords(uint32_t count, uint16_t seed);

// The image a chunk list gives (zeros elsewhere), imageBytes long.
std::vector<uint8_t> imageOf(const std::vector<Chunk>& chunks, size_t imageBytes);

} // namespace hextext
