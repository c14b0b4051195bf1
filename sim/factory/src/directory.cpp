#include "vfactory/directory.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <string>

namespace vfactory {

namespace {

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

uint32_t directorySize(std::size_t entries) {
    if (entries <= kEntriesPerBlock) return 256;
    const auto n = static_cast<uint32_t>(entries);
    return 256 * ((n - 1) / 22) + 11 * ((n - 1) % 22 + 1) + 11;
}

void encodeEntry(const DirEntry& e, uint8_t* out) {
    put32(out, e.address);
    out[4] = e.type;
    put32(out + 5, e.id);
    out[9] = static_cast<uint8_t>(e.size);
    out[10] = static_cast<uint8_t>(e.size >> 8);
}

DirEntry decodeEntry(const uint8_t* in) {
    DirEntry e;
    e.address = get32(in);
    e.type = in[4];
    e.id = get32(in + 5);
    e.size = static_cast<uint16_t>(in[9] | in[10] << 8);
    return e;
}

void writeDirectory(std::vector<uint8_t>& sector, int sectorNumber, const std::vector<DirEntry>& entries) {
    if (sector.size() != vunit::kSectorSize) throw std::invalid_argument("a directory goes into a present sector");
    const uint32_t area = directorySize(entries.size());
    if (area > vunit::kSectorSize)
        throw std::invalid_argument(std::to_string(entries.size()) + " entries do not fit in one sector");
    for (const DirEntry& e : entries)
        if (e.type == 0xFF) throw std::invalid_argument("type 0xFF ends a directory block and cannot be stored");
    std::fill(sector.end() - area, sector.end(), uint8_t{0xFF});

    uint32_t block = kFirstBlock;
    std::size_t done = 0;
    while (done < entries.size()) {
        const std::size_t n = std::min(entries.size() - done, kEntriesPerBlock);
        for (std::size_t k = 0; k < n; ++k) encodeEntry(entries[done + k], &sector[block + k * kEntrySize]);
        done += n;
        const std::size_t remaining = entries.size() - done;
        if (remaining == 0) break;
        const uint32_t next = remaining > kEntriesPerBlock ? block - 256
                                                           : block - static_cast<uint32_t>(remaining * kEntrySize + kEntrySize);
        put32(&sector[block + n * kEntrySize], flashAddress(sectorNumber, next));
        block = next;
    }
    sector[kValidOffset] = 0xFF;
    sector[kMarkerOffset] = kMarker;
}

std::optional<Directory> readDirectory(const vunit::Storage& storage, const std::array<uint8_t, vunit::kMaxSectors>& map,
                                       int sectorCount) {
    auto present = [&](int s) {
        return s >= 0 && s < vunit::kMaxSectors && map[static_cast<std::size_t>(s)] &&
               storage.sectors[static_cast<std::size_t>(s)].size() == vunit::kSectorSize;
    };
    Directory dir;
    for (int s = 0; s < std::min(sectorCount, vunit::kMaxSectors) && dir.sector < 0; ++s) {
        if (!present(s)) continue;
        const auto& bytes = storage.sectors[static_cast<std::size_t>(s)];
        if (bytes[kValidOffset] == 0xFF && bytes[kMarkerOffset] == kMarker) dir.sector = s;
    }
    if (dir.sector < 0) return std::nullopt;

    std::set<uint32_t> visited;
    uint32_t block = flashAddress(dir.sector, kFirstBlock);
    for (;;) {
        const int s = sectorOf(block);
        if (!present(s)) throw std::runtime_error("directory block link leads to sector " + std::to_string(s) + ", which is not present");
        if (!visited.insert(block).second) throw std::runtime_error("directory chain loops back to a block it has read");
        const auto& bytes = storage.sectors[static_cast<std::size_t>(s)];
        uint32_t next = kNoNextBlock;
        for (std::size_t k = 0;; ++k) {
            const std::size_t slot = offsetOf(block) + k * kEntrySize;
            if (slot + kEntrySize > vunit::kSectorSize) throw std::runtime_error("directory block runs past the end of its sector");
            if (bytes[slot + 4] == 0xFF) {
                next = get32(&bytes[slot]);
                break;
            }
            if (k == kEntriesPerBlock) throw std::runtime_error("directory block holds more than 22 entries");
            dir.entries.push_back(decodeEntry(&bytes[slot]));
        }
        if (next == kNoNextBlock) return dir;
        block = next;
    }
}

std::optional<Directory> readDirectory(const vunit::Storage& storage, const vunit::Identity& identity) {
    return readDirectory(storage, vunit::sectorMapOf(identity), vunit::sectorCountOf(identity));
}

} // namespace vfactory
