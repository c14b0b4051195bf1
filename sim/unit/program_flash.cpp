#include "program_flash.h"

namespace vunit {

namespace {

uint8_t erasedByte(const ProgramChip& chip, uint32_t offset) {
    return (!chip.eraseBeforeWrite && (offset & 1)) ? 0x3F : 0xFF;
}

uint8_t written(const ProgramChip& chip, uint32_t offset, uint8_t old, uint8_t data) {
    if (chip.eraseBeforeWrite) return static_cast<uint8_t>(old & data);
    return (offset & 1) ? static_cast<uint8_t>(data & 0x3F) : data;
}

void put(Storage& s, uint32_t offset, uint8_t value) {
    if (offset >= s.programFlash.size()) return;
    s.programFlash[offset] = value;
    s.programFlashDirty = true;
}

} // namespace

uint32_t imageOffsetOf(const ProgramChip& chip, uint32_t deviceAddress) {
    return deviceAddress * 2 / (chip.bytesPerAddress ? chip.bytesPerAddress : 2);
}

bool programRangeValid(const Storage& s, uint32_t offset, size_t n) {
    return static_cast<uint64_t>(offset) + n <= s.programFlash.size();
}

std::vector<uint8_t> readProgram(const Storage& s, uint32_t offset, size_t n) {
    std::vector<uint8_t> out(n, 0);
    for (size_t i = 0; i < n; ++i)
        if (offset + i < s.programFlash.size()) out[i] = s.programFlash[offset + i];
    return out;
}

bool programErased(const Storage& s, const ProgramChip& chip, uint32_t offset, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint32_t o = offset + static_cast<uint32_t>(i);
        if (o < s.programFlash.size() && s.programFlash[o] != erasedByte(chip, o)) return false;
    }
    return true;
}

void writeProgram(Storage& s, const ProgramChip& chip, uint32_t offset, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const uint32_t o = offset + static_cast<uint32_t>(i);
        if (o < s.programFlash.size()) put(s, o, written(chip, o, s.programFlash[o], data[i]));
    }
}

void eraseProgramRow(Storage& s, const ProgramChip& chip, uint32_t offset) {
    const uint32_t row = rowStart(offset);
    for (uint32_t o = row; o < row + kRowBytes; ++o) put(s, o, erasedByte(chip, o));
}

void writeProgramTorn(Storage& s, const ProgramChip& chip, uint32_t offset, const uint8_t* data, size_t n, Rng& rng) {
    if (n == 0) return;
    const size_t done = static_cast<size_t>(randomBelow(rng, n));
    writeProgram(s, chip, offset, data, done);
    const uint32_t o = offset + static_cast<uint32_t>(done);
    if (o >= s.programFlash.size()) return;
    const uint8_t old = s.programFlash[o];
    const uint8_t full = written(chip, o, old, data[done]);
    const uint8_t mask = randomByte(rng); // the bits that got there
    put(s, o, static_cast<uint8_t>((old & ~mask) | (full & mask)));
}

void eraseProgramRowTorn(Storage& s, const ProgramChip& chip, uint32_t offset, Rng& rng) {
    const uint32_t row = rowStart(offset);
    const uint32_t done = static_cast<uint32_t>(randomBelow(rng, kRowBytes));
    for (uint32_t o = row; o < row + done; ++o) put(s, o, erasedByte(chip, o));
    const uint32_t o = row + done;
    if (o < s.programFlash.size())
        put(s, o, static_cast<uint8_t>((s.programFlash[o] | randomByte(rng)) & erasedByte(chip, o)));
}

} // namespace vunit
