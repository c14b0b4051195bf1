#include "unit_state.h"

namespace vunit {

int sectorsOfChip(uint8_t code) {
    if (code < 17 || code > 21) return 0;
    return 4 << (code - 17);
}

std::array<uint8_t, kMaxSectors> sectorMapOf(const Identity& id) {
    std::array<uint8_t, kMaxSectors> map{};
    if (id.chipCode == 0xAA) {
        // Four slots of 64 sector numbers; a slot's chip fills its first n.
        for (int slot = 0; slot < 4; ++slot) {
            const int n = sectorsOfChip(id.chips[static_cast<size_t>(slot)]);
            for (int s = 0; s < n; ++s) map[static_cast<size_t>(64 * slot + s)] = 1;
        }
    } else {
        const int n = sectorsOfChip(id.chipCode);
        for (int s = 0; s < n; ++s) map[static_cast<size_t>(s)] = 1;
    }
    return map;
}

int sectorCountOf(const Identity& id) {
    return id.chipCode == 0xAA ? kMaxSectors : sectorsOfChip(id.chipCode);
}

ProgramChip programChipOf(uint16_t cpuId) {
    switch (cpuId & 0xFFF0) {
    case 0x0000:
    case 0x0E20: return {"PIC16F877A", 8192, 1, 4, 4, false};
    case 0x0C40: return {"PIC18F4525", 0xC000, 2, 10, 32, true};
    case 0x1080: return {"PIC18F4520", 0x8000, 2, 10, 32, true};
    case 0x1200: return {"PIC18F4550", 0x8000, 2, 10, 32, true};
    default: return {nullptr, 0, 2, 0, 0, true};
    }
}

Storage blankStorage(const Identity& id) {
    Storage s;
    const auto map = sectorMapOf(id);
    for (size_t i = 0; i < map.size(); ++i)
        if (map[i]) s.sectors[i].assign(kSectorSize, 0xFF);
    s.eeprom.fill(0xFF);
    const ProgramChip chip = programChipOf(id.cpuId);
    s.programFlash.resize(static_cast<size_t>(chip.imageWords) * 2);
    // An erased PIC16 word reads 0x3FFF (14 bits); PIC18 bytes read 0xFF.
    for (size_t i = 0; i < s.programFlash.size(); ++i)
        s.programFlash[i] = (!chip.eraseBeforeWrite && (i & 1)) ? 0x3F : 0xFF;
    return s;
}

} // namespace vunit
