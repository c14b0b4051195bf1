// Program flash through the running application (framed commands):
//
//   10 addr(2) words(2)   -> 09, then 2 * words bytes        ZELReadFlash
//   11 addr(2) words...   -> 01                              ZELWriteFlash
//   1C addr(2)            -> 01: erases the 64-byte block at that byte address
//   16 7FC0               -> 01: PIC18F4550, start the boot-loader, which
//                            takes the image from external flash
// Addresses are device addresses, little-endian.
#pragma once

#include <cstdint>

namespace zel {

// 0x1C and 0x16 as the loader sends them: a 28-byte answer within 5000 ms
// whose first byte is 1. No error words of their own.
bool eraseProgramBlock(int unit, uint16_t address);
bool startBootloaderAt(int unit, uint16_t address);

} // namespace zel
