// What the pages read of the unit: the cached state the last refresh filled.
#pragma once

#include <cstdint>

struct UnitState {
    uint8_t usbVersionMajor = 0, usbVersionMinor = 0;
    uint8_t cpuVersionMajor = 0, cpuVersionMinor = 0;
    uint8_t sectorMap[256] = {};
    uint8_t usableSectorCount = 0;
    uint16_t cpuId = 0;
    uint8_t logCount = 0;
    uint32_t logBytes = 0;
    uint32_t otherBytes = 0;
    uint16_t eeFamily = 0;
    uint32_t serialNumber = 0;
    uint8_t volume = 0;
    uint16_t batterySaverSeconds = 0;
    bool keptOption37 = false;
    bool keptFlag2 = false, keptFlag3 = false, keptFlag4 = false, keptFlag5Clear = false;
    uint8_t keptByte91 = 0;
    uint16_t keptWord89 = 0;
    bool unitConfigurable = false;
    bool codedLayout = false;
    bool groupedLayout = false;
    bool loggingCapable = false;
};

extern UnitState unitState;
