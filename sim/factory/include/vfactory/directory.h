// The flash directory as it lies in a sector, written and read here without
// the host library, so that each side checks the other.
//
// Layout in the directory sector (offsets within the 64 KiB sector):
//   0xFFFF       0x55, the directory marker
//   0xFFFE       0xFF while valid (0x00 retires the directory)
//   0xFF00 ...   first block: up to 22 entries of 11 bytes, then an 11-byte
//                end slot whose first 4 bytes are the flash address of the
//                next block (0xFFFFFFFF: none) and whose fifth byte is 0xFF
//   below        further blocks, each 256 bytes below the previous one while
//                more than 22 entries remain after it, else exactly r*11+11
//                bytes below (r entries plus the end slot)
// Entry: address (4, LE), type (1), id (4, LE), size (2, LE). An entry
// whose type byte is 0xFF ends a block.
#pragma once

#include "unit_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vfactory {

constexpr std::size_t kEntrySize = 11;
constexpr std::size_t kEntriesPerBlock = 22;
constexpr uint32_t kFirstBlock = 0xFF00;
constexpr uint32_t kValidOffset = 0xFFFE;
constexpr uint32_t kMarkerOffset = 0xFFFF;
constexpr uint8_t kMarker = 0x55;
constexpr uint32_t kNoNextBlock = 0xFFFFFFFFu;

struct DirEntry {
    uint32_t address = 0; // sector << 16 | offset
    uint8_t type = 0;
    uint32_t id = 0;
    uint16_t size = 0;
    bool operator==(const DirEntry&) const = default;
};

constexpr int sectorOf(uint32_t address) { return static_cast<int>(address >> 16); }
constexpr uint32_t offsetOf(uint32_t address) { return address & 0xFFFFu; }
constexpr uint32_t flashAddress(int sector, uint32_t offset) { return static_cast<uint32_t>(sector) << 16 | offset; }

// Bytes at the top of the sector that a directory of n entries takes:
// 256 up to 22 entries, then 278, ..., 509 for 44, 534 for 45.
uint32_t directorySize(std::size_t entries);

void encodeEntry(const DirEntry& entry, uint8_t* out);
DirEntry decodeEntry(const uint8_t* in);

// Writes `entries` as the directory at the top of `sector` (the bytes of
// sector number `sectorNumber`), marked valid. The directory area is set to
// erased first; what lies below it is left alone. Throws
// std::invalid_argument when the chain would not fit in the sector.
void writeDirectory(std::vector<uint8_t>& sector, int sectorNumber, const std::vector<DirEntry>& entries);

struct Directory {
    int sector = -1;
    std::vector<DirEntry> entries;
};

// Finds the lowest present sector below `sectorCount` with a valid marker
// and reads its chain. nullopt when none carries one. Throws
// std::runtime_error for a block of more than 22 entries, a link outside a
// present sector, or a chain that loops.
std::optional<Directory> readDirectory(const vunit::Storage& storage, const std::array<uint8_t, vunit::kMaxSectors>& map,
                                       int sectorCount);
std::optional<Directory> readDirectory(const vunit::Storage& storage, const vunit::Identity& identity);

} // namespace vfactory
