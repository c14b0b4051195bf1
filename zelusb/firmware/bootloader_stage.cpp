// The boot-loader written through the running application, and the restart
// that hands the unit to it.
#include "application_flash.h"
#include "loader_stages.h"
#include "power_cycle.h"
#include "zelusb.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zel {

namespace {

const char* const kWriteFailed = "Problem writing bootloader.";

uint16_t deviceAddress(const FirmwareChip& chip, uint32_t word) {
    return static_cast<uint16_t>(word * chip.bytesPerAddress);
}

bool eraseBody(int unit, const FirmwareChip& chip, const FirmwareImage& load) {
    const BlockRange blocks = bootloaderEraseBlocks(chip, load);
    for (uint32_t b = blocks.first; b <= blocks.last; b += kEraseBlockBytes)
        if (!eraseProgramBlock(unit, static_cast<uint16_t>(b))) return false;
    return true;
}

bool writeWords(int unit, const FirmwareChip& chip, const FirmwareImage& load, uint32_t from, uint32_t to) {
    std::vector<uint8_t> image = load.image; // ZELWriteFlash takes a writable buffer
    for (uint32_t k = from; k < to;) {
        const uint32_t n = std::min(kFlashWriteWords, to - k);
        if (!ZELWriteFlash(unit, deviceAddress(chip, k), image.data() + 2 * k, static_cast<unsigned short>(n)))
            return false;
        k += n;
    }
    return true;
}

bool readBack(int unit, const FirmwareChip& chip, const FirmwareImage& load) {
    uint8_t buffer[2 * kFlashReadWords];
    for (uint32_t k = load.bootStart; k < load.bootEnd;) {
        const uint32_t n = std::min(kFlashReadWords, load.bootEnd - k);
        if (!ZELReadFlash(unit, deviceAddress(chip, k), buffer, static_cast<unsigned short>(n))) return false;
        if (std::memcmp(buffer, load.image.data() + 2 * k, 2 * n) != 0) return false;
        k += n;
    }
    return true;
}

} // namespace

const char* writeBootloaderThroughApplication(int unit, const FirmwareChip& chip, const FirmwareImage& load) {
    say("Writing bootloader...\n");
    postProgress(unit, ZEL_STATUS_FW_BOOTLOADER, 0);
    if (!chip.handsOverImage && !ZELSetInterrupts(unit, 0)) return "Problem preparing Bexo for bootloader.";
    if (chip.pic18) {
        postProgress(unit, ZEL_STATUS_FW_BOOTLOADER, 25);
        if (!eraseBody(unit, chip, load)) return "Problem erasing Bexo memory during bootloader.";
    }
    postProgress(unit, ZEL_STATUS_FW_BOOTLOADER, 50);
    if (!writeWords(unit, chip, load, load.bootStart, load.bootEnd)) return kWriteFailed;
    postProgress(unit, ZEL_STATUS_FW_BOOTLOADER, 75);
    if (!readBack(unit, chip, load)) return "Problem verifying bootloader.";
    postProgress(unit, ZEL_STATUS_FW_BOOTLOADER, 90);
    // The vectors last: until they are in place the application still starts.
    if (chip.pic18 && !eraseProgramBlock(unit, chip.vectorAddress)) return "Problem erasing Bexo memory.";
    std::vector<uint8_t> vectors = load.bootVectors;
    if (!ZELWriteFlash(unit, chip.vectorAddress, vectors.data(), static_cast<unsigned short>(chip.vectorWords)))
        return kWriteFailed;
    return nullptr;
}

const char* restartIntoBootloader(int unit) {
    const char* const kPowerOff = "Problem powering off Bexo during bootloader.";
    const char* const kRestart = "Problem restarting Bexo during bootloader.";
    if (!ZELPowerOff(unit)) return kPowerOff;
    switch (waitUntilUnpowered(unit)) {
    case PowerDown::Off: break;
    case PowerDown::NoStatus: return kPowerOff;
    case PowerDown::Failed: return kRestart;
    }
    fixedWait(500);
    if (!ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 0}})) return kRestart;
    ZELReframe(unit);
    return nullptr;
}

} // namespace zel
