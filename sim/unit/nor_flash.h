// The unit's external flash: NOR sectors of 64 KiB at address sector << 16.
// Erasing sets a whole sector to 0xFF; programming only clears bits (the new
// byte is old AND data), so a byte once cleared stays cleared until the next
// erase. Only sectors present in the sector map exist; every function here
// expects its range checked with flashRangePresent first.
#pragma once

#include "rng.h"
#include "unit_state.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vunit {

// True when every byte of [address, address + n) lies in a present sector.
bool flashRangePresent(const Storage& s, uint32_t address, size_t n);

std::vector<uint8_t> readFlash(const Storage& s, uint32_t address, size_t n);
void programFlash(Storage& s, uint32_t address, const uint8_t* data, size_t n);
void eraseSector(Storage& s, uint32_t sector);

// The same, cut off by a power failure part-way (seeded): programming leaves
// a prefix done, one byte with only some of its bits cleared, the rest as it
// was; erasing leaves a prefix erased and the next 256 bytes half erased.
void programFlashTorn(Storage& s, uint32_t address, const uint8_t* data, size_t n, Rng& rng);
void eraseSectorTorn(Storage& s, uint32_t sector, Rng& rng);

} // namespace vunit
