// ZELLoadFirmware: both files checked against the unit's chip before anything
// is sent; then the boot-loader (unless the unit runs it already), then the
// firmware through it, the reset vector last.
#include "../link/status.h"
#include "../link/transport.h"
#include "loader_stages.h"
#include "zelusb.h"

#include <cstdio>

using namespace zel;

namespace zel {
void postProgress(int unit, int kind, int position) { postStatus(unit, kind, position, 100); }
void say(const char* text) {
    std::printf("%s", text);
    std::fflush(stdout);
}
} // namespace zel

namespace {

// Every failure ends the load with its message and the result 0.
int failWith(const char* message) {
    say(message);
    return 0;
}

int loadThroughBootloader(int unit, const FirmwareChip& chip, const FirmwareImage& load) {
    if (chip.pic18)
        if (const char* m = eraseFirmwareBody(unit, chip, load)) return failWith(m);
    if (const char* m = writeFirmwareBody(unit, chip, load)) return failWith(m);
    if (const char* m = verifyFirmwareBody(unit, chip, load)) return failWith(m);
    if (const char* m = finalizeFirmware(unit, chip, load)) return failWith(m);
    if (const char* m = restartIntoFirmware(unit)) return failWith(m);
    return 1;
}

} // namespace

int ZELLoadFirmware(int unit, char* firmwareText, int firmwareLength, char* bootloaderText, int bootloaderLength,
                    unsigned short cpuId, char* chipName) {
    const FirmwareChip* chip = firmwareChipOf(cpuId);
    if (!chip) return 0;
    const FirmwareImage load = prepareFirmwareImage(*chip, boundedText(bootloaderText, bootloaderLength),
                                            boundedText(firmwareText, firmwareLength), chipName);
    if (load.failure) return failWith(load.failure);
    // Packet units have no unframed requests: their boot-loader could be
    // put in place but never spoken to.
    if (!chip->handsOverImage && !isStreamUnit(unit)) return failWith("Problem preparing Bexo for bootloader.");

    ZELReframe(unit);
    uint8_t zeros[49] = {};
    ZELDoUnframedTransaction(unit, zeros, sizeof zeros, nullptr, 0, 0, 0);
    if (!ZELUnframedSetCounter(unit, 0)) {
        if (const char* m = writeBootloaderThroughApplication(unit, *chip, load)) return failWith(m);
        if (!chip->handsOverImage)
            if (const char* m = restartIntoBootloader(unit)) return failWith(m);
        postProgress(unit, ZEL_STATUS_FW_BOOTLOADER, 100);
    }
    say("Upgrading firmware...");
    if (chip->handsOverImage) {
        if (const char* m = handImageToBootloader(unit, load)) return failWith(m);
        return 1;
    }
    return loadThroughBootloader(unit, *chip, load);
}
