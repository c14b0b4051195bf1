#pragma once

#include <cstdint>

namespace zel {
// Sectors of 64 KiB that a memory chip code stands for (0: unknown chip).
int sectorsOfChipCode(uint8_t code);
} // namespace zel
