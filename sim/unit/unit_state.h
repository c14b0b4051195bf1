// What a virtual Bexo unit is made of: its identity (fixed at creation) and
// its storage (what survives a power cycle). The device model works on these;
// the unit folder code loads and saves them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vunit {

// Doubles as the USB product id.
enum class Kind : uint8_t { Stream = 1, Packet = 2 };

constexpr uint32_t kSectorSize = 0x10000;
constexpr int kMaxSectors = 256;
constexpr int kEepromSize = 256;

struct Identity {
    Kind kind = Kind::Stream;
    uint16_t vendorId = 0x16B5;
    uint8_t usbMajor = 1, usbMinor = 3;           // interface processor firmware
    uint8_t firmwareMajor = 1, firmwareMinor = 29; // main processor firmware
    uint8_t chipCode = 20;                          // 17..21, or 0xAA with `chips`
    std::array<uint8_t, 4> chips{};                 // chip code per slot when chipCode is 0xAA
    uint16_t cpuId = 0x1087;                        // PIC18F4520, revision 7
    uint32_t serial = 0;                            // informative; the EEPROM holds the real one
    uint32_t seed = 1;                              // makes garbage and torn writes repeatable
    std::string path;                               // device path shown to the host
};

// Sectors a memory chip code stands for: 4 << (code - 17) for 17..21, else 0.
int sectorsOfChip(uint8_t code);
// Which of the 256 sector numbers exist (1) for this identity.
std::array<uint8_t, kMaxSectors> sectorMapOf(const Identity& id);
// The sector count the version record implies (256 for four-slot units).
int sectorCountOf(const Identity& id);

// Program-flash geometry of the main processor, by CPU id (low 4 bits ignored).
struct ProgramChip {
    const char* name;       // "PIC18F4520", ...; nullptr when unknown
    uint32_t imageWords;    // program flash size in 16-bit words
    uint32_t bytesPerAddress; // 1: word addresses (PIC16), 2: byte addresses (PIC18)
    uint32_t vectorWords;
    uint32_t firstBlockWords;
    bool eraseBeforeWrite;  // PIC18: writes only clear bits; PIC16 rewrites words
};
ProgramChip programChipOf(uint16_t cpuId);

struct Storage {
    // Present sectors hold kSectorSize bytes; absent ones are empty.
    std::array<std::vector<uint8_t>, kMaxSectors> sectors;
    std::array<uint8_t, kEepromSize> eeprom{};
    std::vector<uint8_t> programFlash; // imageWords * 2 bytes
    // False when the reset vector leads into the boot-loader (see the power
    // model in the device code): the unit then starts its boot-loader.
    bool applicationValid = true;
    // The reset vector leads nowhere (reset_vector.h): the unit starts nothing.
    bool resetVectorBroken = false;

    // Set by the device model on every change, cleared by whoever persists.
    std::array<bool, kMaxSectors> dirtySectors{};
    bool eepromDirty = false;
    bool programFlashDirty = false;
    bool stateDirty = false; // applicationValid, resetVectorBroken
};

// A blank storage for `id`: present sectors erased (0xFF), EEPROM 0xFF,
// program flash erased.
Storage blankStorage(const Identity& id);

} // namespace vunit
