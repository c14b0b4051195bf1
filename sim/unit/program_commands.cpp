// The application's program-flash commands (device addresses as in
// program_flash.h; anything past the chip's flash, or a CPU id the unit
// does not know, is refused with 00).
//
//   10 addr(2) words(2) -> 09 + 2*words bytes; at most 60 words (the
//                          application's buffer), more is refused.
//   11 addr(2) words    -> 01; at most 128 words, whole words only.
//   1C addr(2)          -> 01; erases the 64-byte row holding addr.
//   16 7FC0             -> 01 on the PIC18F4550 only: the application hands
//                          over to the boot-loader at 0x7FC0, which looks at
//                          external flash address 0 for 44 55 66 77 len(2).
//                          With a header, len >= 1, len <= 0x7FC0 (the image
//                          must stay below the boot-loader) and the image in
//                          present sectors, it erases the rows of [0, len),
//                          programs the len bytes from address 6 there, marks
//                          the application valid and starts it (APPLICATION
//                          again: download mode and interrupts reset).
//                          Otherwise it stays in its boot-loader.
//
// What the unit starts (reset_vector.h): except on the PIC18F4550, whose
// boot-loader vectors live at 0x7FC0, the application erasing row 0 (1C)
// and then writing the boot-loader's vector words at 0 (11) makes the unit
// start its boot-loader; anything else that touches the first block, or a
// power cut in it, leaves the reset vector broken.
#include "device.h"
#include "nor_flash.h"
#include "program_flash.h"
#include "reset_vector.h"
#include "timing.h"

#include <algorithm>
#include <string>

namespace vunit {

namespace {

constexpr uint32_t kMaxReadWords = 60;
constexpr uint32_t kMaxWriteWords = 128;
constexpr uint32_t kJumpAddress = 0x7FC0;
constexpr uint8_t kImageMagic[4] = {0x44, 0x55, 0x66, 0x77};

uint32_t le16(const std::vector<uint8_t>& r, size_t i) {
    return static_cast<uint32_t>(r[i]) | static_cast<uint32_t>(r[i + 1]) << 8;
}

bool is4550(const Device& d) { return (d.id.cpuId & 0xFFF0) == 0x1200; }

uint64_t rowsTouched(uint32_t offset, size_t n) {
    if (n == 0) return 0;
    return (offset + n - 1) / kRowBytes - offset / kRowBytes + 1;
}

std::vector<uint8_t> readWords(Device& d, const std::vector<uint8_t>& r) {
    if (r.size() != 5) return refused();
    const uint32_t words = le16(r, 3);
    const uint32_t offset = imageOffsetOf(d.chip, le16(r, 1));
    if (words > kMaxReadWords || !programRangeValid(d.storage, offset, words * 2)) return refused();
    std::vector<uint8_t> a{0x09};
    const auto data = readProgram(d.storage, offset, readAnswerLength(d, words * 2));
    a.insert(a.end(), data.begin(), data.end());
    return a;
}

std::vector<uint8_t> writeWords(Device& d, const std::vector<uint8_t>& r, uint64_t& t) {
    if (r.size() < 3 || (r.size() - 3) % 2) return refused();
    const size_t n = r.size() - 3;
    const uint32_t offset = imageOffsetOf(d.chip, le16(r, 1));
    if (n / 2 > kMaxWriteWords || !programRangeValid(d.storage, offset, n)) return refused();
    if (n == 0) return {0x01};
    d.changed = true;
    if (powerFailsDuring(d, FaultKind::PowerCutProgram)) {
        if (!d.cutBefore) {
            writeProgramTorn(d.storage, d.chip, offset, r.data() + 3, n, d.rng);
            if (!is4550(d)) tornByPowerCut(d, offset, n);
        }
        return {};
    }
    applicationWrote(d, offset, n, programErased(d.storage, d.chip, offset, n));
    writeProgram(d.storage, d.chip, offset, r.data() + 3, n);
    t += cost(d, timing::kRowWriteUs * rowsTouched(offset, n));
    return {0x01};
}

std::vector<uint8_t> eraseRow(Device& d, const std::vector<uint8_t>& r, uint64_t& t) {
    if (r.size() != 3) return refused();
    const uint32_t offset = imageOffsetOf(d.chip, le16(r, 1));
    if (!programRangeValid(d.storage, offset, 1)) return refused();
    d.changed = true;
    if (powerFailsDuring(d, FaultKind::PowerCutErase)) {
        if (!d.cutBefore) {
            eraseProgramRowTorn(d.storage, d.chip, offset, d.rng);
            if (!is4550(d)) tornByPowerCut(d, rowStart(offset), kRowBytes);
        }
        return {};
    }
    applicationErasedRow(d, offset);
    eraseProgramRow(d.storage, d.chip, offset);
    t += cost(d, timing::kRowEraseUs);
    return {0x01};
}

std::vector<uint8_t> jump(Device& d, const std::vector<uint8_t>& r) {
    if (r.size() != 3 || le16(r, 1) != kJumpAddress || !is4550(d)) return refused();
    d.jumpPending = true;
    return {0x01};
}

} // namespace

bool isProgramCommand(uint8_t code) { return code == 0x10 || code == 0x11 || code == 0x1C || code == 0x16; }

std::vector<uint8_t> programCommand(Device& d, const std::vector<uint8_t>& r, uint64_t& t) {
    if (d.chip.name == nullptr) return refused();
    switch (r[0]) {
    case 0x10: return readWords(d, r);
    case 0x11: return writeWords(d, r, t);
    case 0x1C: return eraseRow(d, r, t);
    default: return jump(d, r);
    }
}

void runJump(Device& d, uint64_t& t) {
    d.jumpPending = false;
    d.clockUs = t;
    setState(d, MainState::Bootloader);
    if (!flashRangePresent(d.storage, 0, 6)) return;
    const auto header = readFlash(d.storage, 0, 6);
    const uint32_t length = static_cast<uint32_t>(header[4]) | static_cast<uint32_t>(header[5]) << 8;
    if (!std::equal(header.begin(), header.begin() + 4, kImageMagic) || length == 0 || length > kJumpAddress ||
        !flashRangePresent(d.storage, 6, length)) {
        traceEvent(d.trace, t, "boot-loader: no image in external flash");
        return;
    }
    const auto image = readFlash(d.storage, 6, length);
    d.changed = true;
    if (powerFailsDuring(d, FaultKind::PowerCutProgram)) {
        if (!d.cutBefore) {
            for (uint32_t row = 0; row < length; row += kRowBytes) eraseProgramRow(d.storage, d.chip, row);
            writeProgramTorn(d.storage, d.chip, 0, image.data(), length, d.rng);
            tornByPowerCut(d, 0, length);
        }
        return;
    }
    for (uint32_t row = 0; row < length; row += kRowBytes) eraseProgramRow(d.storage, d.chip, row);
    writeProgram(d.storage, d.chip, 0, image.data(), length);
    t += cost(d, timing::kInstallPerRowUs * rowsTouched(0, length));
    traceEvent(d.trace, t, "boot-loader: installed " + std::to_string(length) + " bytes from external flash");
    d.clockUs = t;
    imageInstalled(d);
    setState(d, MainState::Application);
}

} // namespace vunit
