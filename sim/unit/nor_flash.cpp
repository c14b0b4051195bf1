#include "nor_flash.h"

#include <algorithm>

namespace vunit {

namespace {

uint8_t& byteAt(Storage& s, uint32_t address) {
    return s.sectors[address >> 16][address & 0xFFFF];
}

} // namespace

bool flashRangePresent(const Storage& s, uint32_t address, size_t n) {
    const uint64_t end = static_cast<uint64_t>(address) + n;
    if (end > static_cast<uint64_t>(kMaxSectors) * kSectorSize) return false;
    if (n == 0) return (address >> 16) < kMaxSectors && !s.sectors[address >> 16].empty();
    for (uint64_t sector = address >> 16; sector <= (end - 1) >> 16; ++sector)
        if (s.sectors[sector].size() != kSectorSize) return false;
    return true;
}

std::vector<uint8_t> readFlash(const Storage& s, uint32_t address, size_t n) {
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t a = address + static_cast<uint32_t>(i);
        out[i] = s.sectors[a >> 16][a & 0xFFFF];
    }
    return out;
}

void programFlash(Storage& s, uint32_t address, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint32_t a = address + static_cast<uint32_t>(i);
        byteAt(s, a) &= data[i];
        s.dirtySectors[a >> 16] = true;
    }
}

void eraseSector(Storage& s, uint32_t sector) {
    std::fill(s.sectors[sector].begin(), s.sectors[sector].end(), uint8_t{0xFF});
    s.dirtySectors[sector] = true;
}

void programFlashTorn(Storage& s, uint32_t address, const uint8_t* data, size_t n, Rng& rng) {
    if (n == 0) return;
    const size_t done = static_cast<size_t>(randomBelow(rng, n));
    programFlash(s, address, data, done);
    const uint32_t a = address + static_cast<uint32_t>(done);
    byteAt(s, a) &= static_cast<uint8_t>(data[done] | randomByte(rng));
    s.dirtySectors[a >> 16] = true;
}

void eraseSectorTorn(Storage& s, uint32_t sector, Rng& rng) {
    auto& bytes = s.sectors[sector];
    const size_t done = static_cast<size_t>(randomBelow(rng, kSectorSize));
    std::fill(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(done), uint8_t{0xFF});
    for (size_t i = done; i < std::min<size_t>(done + 256, kSectorSize); ++i)
        bytes[i] |= randomByte(rng);
    s.dirtySectors[sector] = true;
}

} // namespace vunit
