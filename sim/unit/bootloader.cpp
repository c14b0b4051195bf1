// The boot-loader (stream units; it answers nothing framed). Each output
// report 0x10-0x13 carries one raw request from its byte 1; the rest of the
// report is ignored, and a request that does not fit its report (command 5
// needs 49 bytes: a 0x12 or 0x13 report) is dropped. There is no framing:
// a framed request's STX reads as command 2.
//
//   1 lo hi 0 0 0 0    counter = hi:lo; answer lo hi B5 B4 B3 B2 B1
//   2 ...              answer the 14 words at the counter (28 bytes, 4 reports)
//   3 w                write 1 word at the counter, no answer
//   4 w w w            write 3 words, no answer
//   5 w x 24           write 24 words, no answer
//   6 ...              erase the 32-word row holding the counter, no answer
//   7 ...              answer cpuLo cpuHi 0 0 0 0 0
//   anything else      ignored (so the host's 49 zero bytes do nothing)
// The counter is a device address (program_flash.h); commands 2-6 move it on
// by the words they cover times the bytes per device address, modulo 2^16.
// Writes follow the chip: PIC18 ANDs into the flash, PIC16 replaces.
//
// Writes over the whole first block are the new firmware's reset vector,
// which the host writes last: from then on the application is valid and a
// rising pin 5 switches the unit off (interface_processor.cpp). Erasing row
// 0, and everything until the block is whole again, leaves the reset vector
// broken (reset_vector.h).
#include "device.h"
#include "program_flash.h"
#include "reset_vector.h"
#include "timing.h"

#include <algorithm>

namespace vunit {

namespace {

void write(Device& d, const uint8_t* bytes, size_t n, uint32_t words, uint64_t& t) {
    if (1 + 2 * static_cast<size_t>(words) > n) return;
    const uint32_t offset = imageOffsetOf(d.chip, d.counter);
    d.changed = true;
    if (powerFailsDuring(d, FaultKind::PowerCutProgram)) {
        if (!d.cutBefore) {
            writeProgramTorn(d.storage, d.chip, offset, bytes + 1, 2 * words, d.rng);
            tornByPowerCut(d, offset, 2 * words);
        }
        return;
    }
    bootloaderWrote(d, offset, 2 * words, programErased(d.storage, d.chip, offset, 2 * words));
    writeProgram(d.storage, d.chip, offset, bytes + 1, 2 * words);
    d.counter = static_cast<uint16_t>(d.counter + words * d.chip.bytesPerAddress);
    t += cost(d, timing::kRowWriteUs);
}

void erase(Device& d, uint64_t& t) {
    const uint32_t offset = imageOffsetOf(d.chip, d.counter);
    d.changed = true;
    if (powerFailsDuring(d, FaultKind::PowerCutErase)) {
        if (!d.cutBefore) {
            eraseProgramRowTorn(d.storage, d.chip, offset, d.rng);
            tornByPowerCut(d, rowStart(offset), kRowBytes);
        }
        return;
    }
    bootloaderErasedRow(d, offset);
    eraseProgramRow(d.storage, d.chip, offset);
    d.counter = static_cast<uint16_t>(d.counter + 32 * d.chip.bytesPerAddress);
    t += cost(d, timing::kRowEraseUs);
}

} // namespace

void runBootloader(Device& d, const uint8_t* bytes, size_t n) {
    uint64_t t = std::max(d.clockUs, d.cpuFreeUs);
    switch (bytes[0]) {
    case 1:
        d.counter = static_cast<uint16_t>(bytes[1] | bytes[2] << 8);
        sendAnswer(d, AnswerKind::Raw, {bytes[1], bytes[2], 0xB5, 0xB4, 0xB3, 0xB2, 0xB1}, t);
        break;
    case 2: {
        const uint32_t offset = imageOffsetOf(d.chip, d.counter);
        sendAnswer(d, AnswerKind::Raw, readProgram(d.storage, offset, 28), t);
        d.counter = static_cast<uint16_t>(d.counter + 14 * d.chip.bytesPerAddress);
        break;
    }
    case 3: write(d, bytes, n, 1, t); break;
    case 4: write(d, bytes, n, 3, t); break;
    case 5: write(d, bytes, n, 24, t); break;
    case 6: erase(d, t); break;
    case 7:
        sendAnswer(d, AnswerKind::Raw,
                   {static_cast<uint8_t>(d.id.cpuId & 0xFF), static_cast<uint8_t>(d.id.cpuId >> 8), 0, 0, 0, 0, 0}, t);
        break;
    default: break;
    }
    d.cpuFreeUs = t;
}

} // namespace vunit
