// The Configure page's settings: what it shows from the cached unit state,
// what it takes back from the user, and the EEPROM write of Apply.
#pragma once

#include "dialoglink.h"
#include "unitrefresh.h"

#include <atomic>
#include <string>

constexpr int kMinBatterySaverMinutes = 2;
constexpr int kMaxBatterySaverMinutes = 1080;

struct ConfigureView {
    bool volumeEnabled = false;  // 1026, 1027, 1028
    bool minutesEnabled = false; // 1047
    int markedVolume = -1;       // 0 Mute, 1 Low, 2 High, -1 none marked
    std::string minutes;         // 1047's text
};

// What populateConfigurePage shows. With a configurable unit open it also
// writes the trace line "vol %d\n" to standard output.
ConfigureView configureView(const UnitState& state, bool unitOpen);

// readConfigurePage: the volume from the three marks (a later one wins,
// none gives mute) and the minutes text as a whole number, 0 when it is not
// one, clamped to 2-1080 minutes and stored in seconds.
void readConfigureChoice(UnitState& state, bool muteMarked, bool lowMarked, bool highMarked,
                         const std::string& minutesText);
int clampedBatterySaverMinutes(const std::string& minutesText);

// The writing sequence of Apply; fails (reported, unit closed) at the first
// EEPROM read or write that fails, leaving the writes before it made.
bool writeUnitSettings(std::atomic<int>& unitHandle, UnitState& state, DialogPort& dialog);

// The settings dialog around it: range 0-6, the write, position 6, 100 ms,
// end with 0.
bool runSettingsDialog(std::atomic<int>& unitHandle, UnitState& state, const DialogLink& link);
