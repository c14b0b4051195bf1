// The flash directory as bytes (FORMAT.md beside this file): pure functions,
// no device I/O.
#pragma once

#include "zelusb.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zel {

constexpr uint32_t kSectorBytes = 0x10000;
constexpr uint32_t kFirstBlockOffset = 0xFF00;
constexpr uint32_t kRetireOffset = 0xFFFE;
constexpr uint32_t kMarkerOffset = 0xFFFF;
constexpr uint8_t kMarker = 0x55;
constexpr uint8_t kRetired = 0x00;
constexpr uint8_t kEndOfBlock = 0xFF; // the type byte of a block's end slot
constexpr size_t kEntryBytes = 11;
constexpr size_t kEntriesPerBlock = 22;
constexpr size_t kBlockBytes = kEntriesPerBlock * kEntryBytes + kEntryBytes; // 253: a full block and its end slot
constexpr uint32_t kNoNextBlock = 0xFFFFFFFFu;
// What the library's own callers hold, and so the largest directory it writes.
constexpr int kDirectoryRoom = 256;

constexpr int sectorOf(uint32_t address) { return static_cast<int>(address >> 16); }
constexpr uint32_t offsetOf(uint32_t address) { return address & 0xFFFFu; }
constexpr uint32_t sectorAddress(int sector) { return static_cast<uint32_t>(sector) << 16; }

// Bytes from the top of a sector that a directory of n entries takes.
uint32_t DirectorySize(size_t entries);

void encodeEntry(const _direntry& entry, uint8_t* out);
_direntry decodeEntry(const uint8_t* in);

// The two bytes at 0xFFFE: a valid directory reads 0xFF 0x55.
constexpr bool isValidMarker(uint8_t retireByte, uint8_t markerByte) {
    return retireByte == 0xFF && markerByte == kMarker;
}

// One block as read from flash. Its entries are appended to entries[count...]
// while count < room.
enum class BlockEnd {
    Last,     // link unwritten: the directory ends here
    Linked,   // `next` is the address of the next block
    Overfull, // no end slot within the bytes read
    NoRoom,   // the caller's array is full
};
struct DecodedBlock {
    BlockEnd end = BlockEnd::Last;
    uint32_t next = kNoNextBlock;
};
DecodedBlock decodeBlock(const uint8_t* bytes, size_t n, _direntry* entries, int& count, int room);

// Where the block after the one at blockAddress starts, with `remaining`
// entries still to store after it.
uint32_t nextBlockAddress(uint32_t blockAddress, size_t remaining);

// The memory writes that store `entries` as the directory of `sector`, in the
// order they must happen: each block's entries then its link, the marker last.
struct FlashWrite {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};
std::vector<FlashWrite> encodeDirectory(int sector, const _direntry* entries, size_t count);

} // namespace zel
