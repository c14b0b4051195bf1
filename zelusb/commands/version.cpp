// The version record: firmware version, memory chips and CPU identity.
#include "../link/transport.h"
#include "memory_chips.h"
#include "exchange.h"
#include "zelusb.h"

#include <cstring>

using namespace zel;

namespace {
constexpr Exchange kVersion{8, 0x17, 0x18};

bool readVersionRecord(int unit, std::vector<uint8_t>& answer) {
    if (!exchange(unit, {0x0D}, kVersion, answer)) return false;
    answer.resize(std::max<size_t>(answer.size(), 10), 0); // short records read as zeros past their end
    return true;
}
} // namespace

namespace zel {
int sectorsOfChipCode(uint8_t code) { return code >= 17 && code <= 21 ? 4 << (code - 17) : 0; }
} // namespace zel

int ZELGetVersion(int unit, unsigned char& major, unsigned char& minor, unsigned char& memoryCode) {
    std::vector<uint8_t> answer;
    if (!readVersionRecord(unit, answer)) return 0;
    major = answer[1];
    minor = answer[2];
    memoryCode = answer[3];
    return 1;
}

int ZELGetVersionExtended(int unit, unsigned char& major, unsigned char& minor, unsigned char& memoryCode,
                          unsigned short& sectorCount, unsigned int& sectorSize, unsigned char* sectorMap) {
    std::vector<uint8_t> answer;
    if (!readVersionRecord(unit, answer)) return 0;
    major = answer[1];
    minor = answer[2];
    sectorCount = 0;
    sectorSize = 65536;
    if (sectorMap) std::memset(sectorMap, 0, 256);
    const uint8_t chip = answer[3];
    int result = 1;
    if (chip == 0xAA) {
        sectorCount = 256;
        for (int i = 0; i < 4; ++i) {
            memoryCode = answer[6 + static_cast<size_t>(i)];
            const int n = sectorsOfChipCode(memoryCode);
            if (sectorMap && n > 0) std::memset(sectorMap + 64 * i, 1, static_cast<size_t>(n));
        }
        if (!sectorMap) result = 0;
    } else {
        memoryCode = chip;
        const int n = sectorsOfChipCode(chip);
        if (n == 0) result = 0;
        if (sectorMap && n > 0) std::memset(sectorMap, 1, static_cast<size_t>(n));
        sectorCount = static_cast<unsigned short>(n);
    }
    return result;
}
