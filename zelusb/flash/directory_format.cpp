#include "directory_format.h"

namespace zel {

namespace {
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
} // namespace

uint32_t DirectorySize(size_t entries) {
    if (entries <= kEntriesPerBlock) return 256;
    const uint64_t n = entries - 1;
    return static_cast<uint32_t>(256 * (n / kEntriesPerBlock) + kEntryBytes * (n % kEntriesPerBlock + 1) + kEntryBytes);
}

void encodeEntry(const _direntry& e, uint8_t* out) {
    put32(out, e.address);
    out[4] = e.type;
    put32(out + 5, e.id);
    out[9] = static_cast<uint8_t>(e.size);
    out[10] = static_cast<uint8_t>(e.size >> 8);
}

_direntry decodeEntry(const uint8_t* in) {
    _direntry e;
    e.address = get32(in);
    e.type = in[4];
    e.id = get32(in + 5);
    e.size = static_cast<unsigned short>(in[9] | in[10] << 8);
    return e;
}

DecodedBlock decodeBlock(const uint8_t* bytes, size_t n, _direntry* entries, int& count, int room) {
    DecodedBlock block;
    size_t slot = 0;
    for (;;) {
        if (slot + kEntryBytes > n) {
            block.end = BlockEnd::Overfull;
            return block;
        }
        const uint8_t* p = bytes + slot;
        if (p[4] == kEndOfBlock) break;
        if (count >= room) {
            block.end = BlockEnd::NoRoom;
            return block;
        }
        entries[count++] = decodeEntry(p);
        slot += kEntryBytes;
    }
    block.next = get32(bytes + slot);
    block.end = block.next == kNoNextBlock ? BlockEnd::Last : BlockEnd::Linked;
    return block;
}

uint32_t nextBlockAddress(uint32_t blockAddress, size_t remaining) {
    if (remaining > kEntriesPerBlock) return blockAddress - 256;
    return blockAddress - static_cast<uint32_t>(remaining * kEntryBytes + kEntryBytes);
}

std::vector<FlashWrite> encodeDirectory(int sector, const _direntry* entries, size_t count) {
    std::vector<FlashWrite> writes;
    const uint32_t base = sectorAddress(sector);
    uint32_t block = base + kFirstBlockOffset;
    size_t done = 0;
    while (done < count) {
        const size_t n = count - done < kEntriesPerBlock ? count - done : kEntriesPerBlock;
        FlashWrite w{block, std::vector<uint8_t>(n * kEntryBytes)};
        for (size_t k = 0; k < n; ++k) encodeEntry(entries[done + k], w.bytes.data() + k * kEntryBytes);
        writes.push_back(std::move(w));
        done += n;
        if (done == count) break;
        const uint32_t next = nextBlockAddress(block, count - done);
        FlashWrite link{block + static_cast<uint32_t>(n * kEntryBytes), std::vector<uint8_t>(4)};
        put32(link.bytes.data(), next);
        writes.push_back(std::move(link));
        block = next;
    }
    writes.push_back({base + kMarkerOffset, {kMarker}});
    return writes;
}

} // namespace zel
