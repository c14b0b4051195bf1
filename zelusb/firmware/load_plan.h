// What a load would send, counted from the checked files: for a dry run, and
// for comparing with what a load did send.
#pragma once

#include "chip_table.h"
#include "firmware_image.h"

#include <cstdint>

namespace zel {

struct LoadPlan {
    bool writesBootloader = false; // false: the unit runs its boot-loader already
    // The boot-loader through the application.
    uint32_t bootWords = 0;
    uint32_t bootEraseBlocks = 0; // 0x1C, PIC18
    uint32_t bootWriteBlocks = 0; // ZELWriteFlash, at most 128 words
    uint32_t bootReadBlocks = 0;  // ZELReadFlash, at most 60 words
    uint32_t vectorErases = 0;    // 0x1C at the vector address, PIC18
    // The firmware through the boot-loader (not on the PIC18F4550).
    uint32_t firmwareWords = 0;
    uint32_t bodyErases = 0;                   // command 6
    uint32_t writes24 = 0, writes3 = 0, writes1 = 0; // commands 5, 4, 3
    uint32_t bodyReads = 0;                    // command 2
    uint32_t firstBlockErases = 0, firstBlockWrites = 0, firstBlockReads = 0;
    // PIC18F4550: the image into external flash.
    uint32_t imageBytes = 0;
};

LoadPlan planLoad(const FirmwareChip& chip, const FirmwareImage& load, bool bootloaderRunning);

} // namespace zel
