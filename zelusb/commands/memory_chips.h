#pragma once

#include <cstdint>

namespace zel {
// Sectors of 64 KiB that a memory chip code stands for (0: unknown chip).
int sectorsOfChipCode(uint8_t code);
// "PIC18F4520" and friends, by CPU id with the revision bits ignored.
const char* cpuNameOf(uint16_t cpuId);
} // namespace zel
