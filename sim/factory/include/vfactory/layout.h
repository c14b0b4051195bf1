// Lays out a unit from a description: EEPROM, items and directory.
#pragma once

#include "unit_state.h"
#include "vfactory/directory.h"
#include "vfactory/eeprom.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vfactory {

constexpr uint8_t kSoundType = 0x14;

struct Item {
    uint8_t type = kSoundType;
    uint32_t id = 0;
    std::vector<uint8_t> contents; // at most 65535 bytes
    int sector = -1; // -1: the first present sector with room
};

struct UnitDescription {
    vunit::Identity identity;
    EepromSettings eeprom;
    std::vector<Item> items; // directory order
    bool directory = true;
    int directorySector = -1; // -1: the lowest present sector
    // Empty log files laid out after the items, as after clearing the log space.
    bool logFiles = false;
};

// The stock unit: 32-sector stream unit, PIC18F4520, firmware 1.29, EEPROM
// family 0x8100 (volume low, 30-minute battery saver), three sounds (20000
// bytes in all) and the directory in sector 0, no log files.
UnitDescription defaultDescription();

// Builds the storage: items placed from offset 0 upward in their sector in
// the order given, none crossing its sector, and the directory sector's top
// kept free for the directory. Throws std::invalid_argument naming the item
// that does not fit or the sector that does not exist.
vunit::Storage buildUnit(const UnitDescription& description);

// How full each present sector is, from the directory.
struct SectorUse {
    int sector = 0;
    uint32_t itemBytes = 0;      // sum of the item sizes in it
    uint32_t end = 0;            // offset past its highest item
    uint32_t directoryBytes = 0; // reserved at the top when it holds the directory
    uint32_t free() const { return end + directoryBytes >= vunit::kSectorSize ? 0 : vunit::kSectorSize - end - directoryBytes; }
};
std::vector<SectorUse> sectorUse(const vunit::Identity& identity, const Directory* directory);

// Replaces the directory in its own sector (marking the sector dirty).
// Throws std::invalid_argument when the bigger directory would reach into
// the items below it.
void rewriteDirectory(vunit::Storage& storage, const Directory& directory);

} // namespace vfactory
