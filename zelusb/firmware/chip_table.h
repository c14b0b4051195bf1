// The microcontrollers a unit may have, by CPU id with the revision (low four
// bits) ignored: their names, and the program-memory geometry the firmware
// loader works with. The one table of CPU ids on the host side.
#pragma once

#include <cstdint>

namespace zel {

struct FirmwareChip {
    const char* name;          // as the identification sequence reports it
    uint32_t imageWords;       // 16-bit words of the loader's image
    uint32_t vectorWords;      // leading boot-loader words, written after its body
    uint32_t bytesPerAddress;  // device address of image word k is k * this
    uint32_t firstBlockWords;  // leading firmware words, written after the rest
    uint16_t firstBlockEnd;    // device address just past the first block
    bool pic18;                // 64-byte erase blocks through the application
    bool handsOverImage;       // PIC18F4550: the image goes through external flash
    uint16_t vectorAddress;    // where the boot-loader's vector words go
};

// nullptr for a CPU the loader does not know.
const FirmwareChip* firmwareChipOf(uint16_t cpuId);
// "PIC18F4520" and friends; "UNSUPPORTED" for any other id.
const char* cpuNameOf(uint16_t cpuId);

} // namespace zel
