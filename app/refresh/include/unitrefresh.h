// The cached unit state and the unit refresh that fills it. Pages draw from
// the state and the workers plan with it; nothing else reads the unit.
#pragma once

#include "dialoglink.h"
#include "zelusb.h"

#include <atomic>
#include <cstdint>

struct UnitState {
    uint8_t usbVersionMajor = 0, usbVersionMinor = 0;
    uint8_t cpuVersionMajor = 0, cpuVersionMinor = 0;
    uint8_t sectorMap[256] = {}; // nonzero: the sector is present
    // Up to 256: a unit with every sector present must not read as none.
    uint16_t usableSectorCount = 0;
    uint16_t cpuId = 0;
    uint8_t logCount = 0; // wraps at 256
    uint32_t logBytes = 0;
    uint32_t otherBytes = 0;
    uint16_t eeFamily = 0;
    uint32_t serialNumber = 0;
    uint8_t volume = 0; // 0 mute, 1 low, 2 high
    uint16_t batterySaverSeconds = 0;
    bool keptOption37 = false;
    bool keptFlag2 = false, keptFlag3 = false, keptFlag4 = false;
    bool keptFlag5Clear = false;
    uint8_t keptByte91 = 0;
    uint16_t keptWord89 = 0;
    bool unitConfigurable = false;
    bool codedLayout = false;
    bool groupedLayout = false;
    bool loggingCapable = false;
};

constexpr unsigned char kLogFileType = 0x60;
constexpr int kEepromBytesRead = 124;
// Room for every entry a directory can hold.
constexpr int kDirectoryListing = 256;

// The first `sectorCount` entries of the map that are nonzero.
uint16_t countUsableSectors(const uint8_t* sectorMap, unsigned sectorCount);
// logCount, logBytes and otherBytes from a directory listing.
void tallyDirectory(const _direntry* entries, int count, UnitState& state);
// The EEPROM fields from the first 124 bytes, and what they decide.
void decodeEeprom(const uint8_t* eeprom, UnitState& state);
// Needs unitConfigurable, cpuId and the CPU version.
bool isLoggingCapable(const UnitState& state);

// One pass over the unit: resynchronise, power on when needed, versions and
// sector map, processor id, directory totals, EEPROM settings. False when
// no unit is open or a step failed (that failure already reported, the unit
// closed). Fields read before a failure keep their new values.
// The steps that open both the refresh and the settings write: reframe,
// the 2 s settle, status (keeping the USB version), power-on when off,
// reframe again; progress 1 to 3. Results are the caller's to read after.
void wakeUnit(int unit, UnitState& state, DialogPort& dialog);
bool refreshUnit(std::atomic<int>& unitHandle, UnitState& state, DialogPort& dialog);

// The "Communicating with Bexo" dialog around it: range 0-6, the refresh,
// position 6, 100 ms, end with 0. Returns what the refresh returned.
bool runUnitRefresh(std::atomic<int>& unitHandle, UnitState& state, const DialogLink& link);
