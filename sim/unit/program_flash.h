// The main processor's program flash, held as image bytes (word k at bytes
// 2k, 2k+1, low byte first). Device addresses are word addresses on the
// PIC16F877A and byte addresses on the PIC18 chips, so device address a is
// image byte a * 2 / bytesPerAddress.
//
// PIC18: erasing a 64-byte row sets it to 0xFF and writes only clear bits
// (a write over unerased flash ANDs). PIC16F877A: a write replaces the word
// (14 bits; the top two bits read 0) and an erase sets words to 0x3FFF.
// Bytes past the end of the chip's flash read 0 and take no writes.
#pragma once

#include "rng.h"
#include "unit_state.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vunit {

constexpr size_t kRowBytes = 64;
// The first byte of the row holding `offset`.
inline uint32_t rowStart(uint32_t offset) { return offset & ~static_cast<uint32_t>(kRowBytes - 1); }

uint32_t imageOffsetOf(const ProgramChip& chip, uint32_t deviceAddress);
bool programRangeValid(const Storage& s, uint32_t offset, size_t n);

std::vector<uint8_t> readProgram(const Storage& s, uint32_t offset, size_t n);
void writeProgram(Storage& s, const ProgramChip& chip, uint32_t offset, const uint8_t* data, size_t n);
// Every byte of [offset, offset + n) reads erased.
bool programErased(const Storage& s, const ProgramChip& chip, uint32_t offset, size_t n);
// Erases the row that holds `offset`.
void eraseProgramRow(Storage& s, const ProgramChip& chip, uint32_t offset);

// Cut off part-way by a power failure (seeded), as in nor_flash.h.
void writeProgramTorn(Storage& s, const ProgramChip& chip, uint32_t offset, const uint8_t* data, size_t n, Rng& rng);
void eraseProgramRowTorn(Storage& s, const ProgramChip& chip, uint32_t offset, Rng& rng);

} // namespace vunit
