// The EEPROM of a configurable unit (families 0x81-0x83), as the export
// program reads and writes it. Multi-byte values are little-endian.
//   0-1   family word        2-5   serial number      6  volume (0 mute, 1 low, 2 high)
//   37    kept option (0 off) 45-46 battery saver, s   81 kept flags (bits 2-5)
//   89-90 kept word           91    kept byte
#pragma once

#include "unit_state.h"

#include <array>
#include <cstdint>

namespace vfactory {

struct EepromSettings {
    uint16_t family = 0x8100;
    uint32_t serial = 0;
    uint8_t volume = 1;                   // low
    uint16_t batterySaverSeconds = 30 * 60;
};

// The first 124 bytes (what the export program reads) are zero apart from
// the settings; the rest reads erased (0xFF).
std::array<uint8_t, vunit::kEepromSize> makeEeprom(const EepromSettings& settings);
EepromSettings readEepromSettings(const std::array<uint8_t, vunit::kEepromSize>& eeprom);

} // namespace vfactory
