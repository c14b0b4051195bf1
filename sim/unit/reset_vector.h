// What a power-up starts: the chip's reset vector, the first block of program
// flash (the 64-byte row 0 on the PIC18 chips, words 0-3 on the PIC16F877A:
// ProgramChip.firstBlockWords). While it is whole it leads to the application
// (Storage.applicationValid) or to the boot-loader. Erased, torn by a power
// cut, written over without an erase (PIC18 writes only clear bits) or only
// partly rewritten, it leads nowhere (Storage.resetVectorBroken): the main
// processor runs into whatever follows and never answers again. Only a
// programmer on the board could bring such a unit back.
//
// Who rewrites it, and what it then leads to:
//  - the application, for the boot-loader: row 0 erased (PIC18), then one
//    write of the boot-loader's vector words (ProgramChip.vectorWords) at
//    device address 0 -> the boot-loader;
//  - the boot-loader, for the new firmware: row 0 erased (PIC18), then writes
//    that together cover the whole first block -> the application;
//  - the PIC18F4550's boot-loader installing an image from external flash
//    -> the application (that chip's boot-loader vectors live at 0x7FC0, and
//    its application is not modelled writing row 0).
#pragma once

#include "device.h"

#include <cstddef>
#include <cstdint>

namespace vunit {

// Offsets are image bytes (program_flash.h).
bool touchesResetVector(const Device& d, uint32_t offset, size_t n);

void applicationErasedRow(Device& d, uint32_t offset);
// `wasErased`: every byte written read erased before.
void applicationWrote(Device& d, uint32_t offset, size_t n, bool wasErased);
void bootloaderErasedRow(Device& d, uint32_t offset);
void bootloaderWrote(Device& d, uint32_t offset, size_t n, bool wasErased);
// A program or erase over [offset, offset + n) cut off by a power failure.
void tornByPowerCut(Device& d, uint32_t offset, size_t n);
// The PIC18F4550's install from external flash completed.
void imageInstalled(Device& d);

// What the reset vector leads to at power-up.
bool startsApplication(const Storage& s);
bool startsNothing(const Storage& s);

} // namespace vunit
