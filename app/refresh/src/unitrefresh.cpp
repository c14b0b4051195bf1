#include "unitrefresh.h"

#include "unitlink.h"

#include <vector>

uint16_t countUsableSectors(const uint8_t* sectorMap, unsigned sectorCount) {
    unsigned n = 0;
    for (unsigned s = 0; s < sectorCount && s < 256; ++s) n += sectorMap[s] ? 1 : 0;
    return static_cast<uint16_t>(n);
}

void tallyDirectory(const _direntry* entries, int count, UnitState& state) {
    state.logCount = 0;
    state.logBytes = 0;
    state.otherBytes = 0;
    for (int i = 0; i < count; ++i) {
        const unsigned size = entries[i].size;
        if (entries[i].type == kLogFileType) {
            ++state.logCount;
            state.logBytes += size;
        } else {
            state.otherBytes += size;
        }
    }
}

bool isLoggingCapable(const UnitState& s) {
    if (!s.unitConfigurable) return false;
    const unsigned chip = s.cpuId & 0xFFF0u;
    if (chip == 0x1080 || chip == 0x0C40)
        return s.cpuVersionMajor > 1 || (s.cpuVersionMajor == 1 && s.cpuVersionMinor >= 29);
    return s.cpuVersionMajor > 30;
}

void decodeEeprom(const uint8_t* ee, UnitState& s) {
    s.eeFamily = static_cast<uint16_t>(ee[0] | ee[1] << 8);
    s.serialNumber = static_cast<uint32_t>(ee[2]) | static_cast<uint32_t>(ee[3]) << 8 |
                     static_cast<uint32_t>(ee[4]) << 16 | static_cast<uint32_t>(ee[5]) << 24;
    s.volume = ee[6];
    s.batterySaverSeconds = static_cast<uint16_t>(ee[45] | ee[46] << 8);
    s.keptOption37 = ee[37] != 0;
    s.keptFlag2 = (ee[81] & 0x04) != 0;
    s.keptFlag3 = (ee[81] & 0x08) != 0;
    s.keptFlag4 = (ee[81] & 0x10) != 0;
    s.keptFlag5Clear = (ee[81] & 0x20) == 0;
    s.keptByte91 = ee[91];
    s.keptWord89 = static_cast<uint16_t>(ee[89] | ee[90] << 8);
    const unsigned high = s.eeFamily >> 8;
    s.unitConfigurable = high >= 0x81 && high <= 0x83;
    s.codedLayout = high == 0x82;
    s.groupedLayout = s.eeFamily == 0x8210;
    s.loggingCapable = isLoggingCapable(s);
}

void wakeUnit(int unit, UnitState& state, DialogPort& dialog) {
    ZELReframe(unit);
    programWait(2000);
    dialog.progressPosition(1);
    dialog.status("Retrieving status...");
    _ZEL_STATUS status{};
    ZELStatus(unit, &status);
    state.usbVersionMajor = status.b[2];
    state.usbVersionMinor = status.b[3];
    dialog.progressPosition(2);
    if (!(status.b[1] & 1)) {
        dialog.status("Powering on...");
        ZELPowerOn(unit);
    }
    dialog.progressPosition(3);
    ZELReframe(unit);
}

bool refreshUnit(std::atomic<int>& unitHandle, UnitState& state, DialogPort& dialog) {
    const int unit = unitHandle.load();
    if (unit < 0) return false;
    UnitConversation conversation(unit);

    wakeUnit(unit, state, dialog);

    unsigned char major = 0, minor = 0, memoryCode = 0, map[256] = {};
    unsigned short sectorCount = 0;
    unsigned int sectorSize = 0;
    const bool versions = ZELGetVersionExtended(unit, major, minor, memoryCode, sectorCount, sectorSize, map) != 0;
    if (versions) {
        state.cpuVersionMajor = major;
        state.cpuVersionMinor = minor;
        for (int i = 0; i < 256; ++i) state.sectorMap[i] = map[i];
        state.usableSectorCount = countUsableSectors(map, sectorCount);
    }
    unsigned char request[1] = {0x0D};
    unsigned char record[10] = {};
    const bool identified = ZELDoTransaction(unit, request, 1, record, sizeof record, 5000) != 0;
    if (identified) state.cpuId = static_cast<uint16_t>(record[4] | record[5] << 8);
    if (!versions || !identified) {
        reportCommunicationError(unitHandle, unit, dialog);
        return false;
    }

    dialog.progressPosition(3);
    dialog.status("Reading directory...");
    std::vector<_direntry> entries(kDirectoryListing);
    int directorySector = 0, count = 0;
    unsigned short sectors = 0;
    const int read = ZELReadDirectory(unit, directorySector, sectors, entries.data(), count);
    dialog.progressPosition(4);
    if (read != 1) {
        reportCommunicationError(unitHandle, unit, dialog);
        return false;
    }
    tallyDirectory(entries.data(), count, state);

    dialog.status("Reading EEPROM...");
    unsigned char eeprom[kEepromBytesRead] = {};
    const bool eepromRead = ZELReadEE(unit, 0, eeprom, kEepromBytesRead) != 0;
    dialog.progressPosition(5);
    if (!eepromRead) {
        reportCommunicationError(unitHandle, unit, dialog);
        return false;
    }
    decodeEeprom(eeprom, state);
    dialog.status("Complete!");
    return true;
}

bool runUnitRefresh(std::atomic<int>& unitHandle, UnitState& state, const DialogLink& link) {
    DialogPort dialog(link);
    dialog.progressRange(6);
    dialog.progressPosition(0);
    const bool ok = refreshUnit(unitHandle, state, dialog);
    dialog.progressPosition(6);
    programWait(100);
    dialog.end(0);
    return ok;
}
