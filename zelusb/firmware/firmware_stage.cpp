// The firmware through the boot-loader's unframed commands: body erased
// (PIC18), written and read back from the first block's end on; then the
// first block, which holds the reset vector, erased, written and read back.
#include "bootloader_commands.h"
#include "loader_stages.h"
#include "zelusb.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zel {

namespace {

const char* const kWriteFailed = "Problem writing firmware.";
const char* const kVerifyFailed = "Problem verifying firmware.";

int percent(uint64_t done, uint64_t total) { return static_cast<int>(done * 100 / total); }

// Reads 14 words at a time from the counter and compares the first
// min(end - p, 14) of each answer with image words from p, for p from
// `from` up to `end`: a dot and a progress record after each.
bool verifyFrom(int unit, const FirmwareImage& load, uint32_t from, uint32_t end) {
    uint8_t answer[2 * kBootReadWords];
    for (uint32_t p = from; p < end;) {
        if (!bootRead(unit, answer)) return false;
        const uint32_t n = std::min(end - p, kBootReadWords);
        if (std::memcmp(answer, load.image.data() + 2 * p, 2 * n) != 0) return false;
        p += n;
        say(".");
        postProgress(unit, ZEL_STATUS_FW_VERIFYING, percent(p - from, end - from));
    }
    return true;
}

} // namespace

const char* eraseFirmwareBody(int unit, const FirmwareChip& chip, const FirmwareImage& load) {
    say("Upgrading firmware (erasing)...\n");
    postProgress(unit, ZEL_STATUS_FW_ERASING, 0);
    if (!ZELUnframedSetCounter(unit, chip.firstBlockEnd)) return "Problem preparing Bexo for firmware.";
    const uint32_t lo = lowestWordOf(load.firmware), end = load.firmwareEnd;
    for (uint32_t p = lo + kBootEraseWords; p < end;) {
        if (!bootErase(unit)) return "Problem erasing Bexo during firmware.";
        p += kBootEraseWords;
        say(".");
        postProgress(unit, ZEL_STATUS_FW_ERASING, percent(p - kBootEraseWords - lo, end - kBootEraseWords - lo));
    }
    return nullptr;
}

const char* writeFirmwareBody(int unit, const FirmwareChip& chip, const FirmwareImage& load) {
    say("Upgrading firmware (writing)...\n");
    postProgress(unit, ZEL_STATUS_FW_WRITING, 0);
    if (!ZELUnframedSetCounter(unit, chip.firstBlockEnd)) return "Problem preparing Bexo to write firmware.";
    const uint32_t first = chip.firstBlockWords, end = load.firmwareEnd;
    for (uint32_t p = first; p < end;) {
        const uint32_t n = bootWriteWords(end - p);
        if (!bootWrite(unit, load.image.data() + 2 * p, n)) return kWriteFailed;
        p += n;
        say(".");
        postProgress(unit, ZEL_STATUS_FW_WRITING, percent(p - first, end - first));
    }
    return nullptr;
}

const char* verifyFirmwareBody(int unit, const FirmwareChip& chip, const FirmwareImage& load) {
    say("Upgrading firmware (verifying)...\n");
    postProgress(unit, ZEL_STATUS_FW_VERIFYING, 0);
    if (!ZELUnframedSetCounter(unit, chip.firstBlockEnd)) return "Problem preparing Bexo to verify firmware.";
    return verifyFrom(unit, load, chip.firstBlockWords, load.firmwareEnd) ? nullptr : kVerifyFailed;
}

const char* finalizeFirmware(int unit, const FirmwareChip& chip, const FirmwareImage& load) {
    say("Upgrading firmware (finalizing)...\n");
    postProgress(unit, ZEL_STATUS_FW_FINALIZING, 100);
    if (chip.pic18) {
        if (!ZELUnframedSetCounter(unit, 0)) return "Problem preparing Bexo complete firmware.";
        if (!bootErase(unit)) return "Problem erasing Bexo during firmware.";
    }
    if (!ZELUnframedSetCounter(unit, 0)) return "Problem preparing Bexo to write firmware.";
    const uint32_t lo = lowestWordOf(load.firmware), first = chip.firstBlockWords;
    for (uint32_t j = 0; j < first; ++j)
        if (!bootWrite(unit, load.image.data() + 2 * (lo + j), 1)) return kWriteFailed;
    if (!ZELUnframedSetCounter(unit, 0)) return "Problem preparing Bexo verify firmware.";
    // A firmware shorter than its first block is compared over all of the
    // block: counting to its end alone, the reads would stop moving on.
    const uint32_t compareEnd = std::max(load.firmwareEnd, first);
    uint8_t answer[2 * kBootReadWords];
    for (uint32_t q = 0; q < first;) {
        if (!bootRead(unit, answer)) return kVerifyFailed;
        const uint32_t n = std::min(compareEnd - q, kBootReadWords);
        if (std::memcmp(answer, load.image.data() + 2 * q, 2 * n) != 0) return kVerifyFailed;
        q += n;
    }
    return nullptr;
}

} // namespace zel
