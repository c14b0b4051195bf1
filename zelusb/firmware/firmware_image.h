// What the loader makes of its two files before it speaks to the unit: the
// image (the boot-loader, with the firmware read over it), where each lies,
// and the one message that stops the load when they don't fit the unit.
// Also the block sizes the unit's command buffers allow.
#pragma once

#include "chip_table.h"
#include "hex_reader.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace zel {

constexpr uint32_t kFlashWriteWords = 128; // application: 0x11
constexpr uint32_t kFlashReadWords = 60;   // application: 0x10
constexpr uint32_t kEraseBlockBytes = 64;  // application: 0x1C
constexpr uint32_t kBootReadWords = 14;    // boot-loader: 2
constexpr uint32_t kBootEraseWords = 32;   // boot-loader: 6

// Words per boot-loader write for `remaining` words: 24, 3 or 1.
inline uint32_t bootWriteWords(uint32_t remaining) { return remaining >= 24 ? 24 : remaining >= 3 ? 3 : 1; }

struct FirmwareImage {
    const char* failure = nullptr; // nullptr: the files fit
    std::vector<uint8_t> image;
    std::vector<uint8_t> bootVectors; // the boot-loader's own vector words (the firmware's first block is over them)
    HexFile bootloader, firmware;
    uint32_t bootStart = 0; // first nonzero boot-loader word past its vectors
    uint32_t bootEnd = 0;   // the boot-loader file's end word
    uint32_t firmwareEnd = 0;
};

// Reads and checks both files for `chip`, whose name the unit gave as
// `chipName`. The checks, in order, and their messages: the boot-loader file
// readable, its chip name, its start; the firmware file readable, its chip
// name, starting at word 0 and ending at or before the boot-loader's start.
FirmwareImage prepareFirmwareImage(const FirmwareChip& chip, std::string_view bootloaderText, std::string_view firmwareText,
                           const char* chipName);

// Byte addresses of the first and last 64-byte blocks the application erases
// for the boot-loader (PIC18), the last kept to what a 16-bit address names.
struct BlockRange {
    uint32_t first = 0, last = 0; // last < first: none
};
BlockRange bootloaderEraseBlocks(const FirmwareChip& chip, const FirmwareImage& load);

} // namespace zel
