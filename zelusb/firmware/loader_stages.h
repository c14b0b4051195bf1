// The firmware loader's stages, in the order ZELLoadFirmware runs them. Each
// returns nullptr when done, or the message that ends the load.
#pragma once

#include "chip_table.h"
#include "firmware_image.h"

namespace zel {

// A line (or a dot) on standard output, at once: a program showing progress
// of its own keeps the order.
void say(const char* text);

// Status records of the loader: range 100, the position a percentage.
void postProgress(int unit, int kind, int position);

// The boot-loader through the running application: body erased (PIC18),
// written, read back; then its vector words.
const char* writeBootloaderThroughApplication(int unit, const FirmwareChip& chip, const FirmwareImage& load);
// Power off and on again, so that the boot-loader runs.
const char* restartIntoBootloader(int unit);

// PIC18F4550: the image into external flash, then the boot-loader told to take it.
const char* handImageToBootloader(int unit, const FirmwareImage& load);

// The firmware through the boot-loader: the body, then the first block.
const char* eraseFirmwareBody(int unit, const FirmwareChip& chip, const FirmwareImage& load);
const char* writeFirmwareBody(int unit, const FirmwareChip& chip, const FirmwareImage& load);
const char* verifyFirmwareBody(int unit, const FirmwareChip& chip, const FirmwareImage& load);
const char* finalizeFirmware(int unit, const FirmwareChip& chip, const FirmwareImage& load);
// Pin 5 up (the boot-loader switches off), then power on into the firmware.
const char* restartIntoFirmware(int unit);

} // namespace zel
