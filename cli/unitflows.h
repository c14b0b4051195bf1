// The export program's flows on a console: the unit refresh, the clear and
// what it laid out, the settings as text. Shared by status, download,
// clear and configure.
#pragma once

#include "console.h"
#include "logspaceworker.h"
#include "unit_session.h"
#include "unitrefresh.h"

#include <string>
#include <vector>

// False when it failed; the reason is on stderr and the unit closed.
bool refreshOnConsole(std::atomic<int>& unit, const std::string& command, UnitState& state);

// "not configurable (EEPROM family 0x8400)", or empty.
std::string notConfigurable(const UnitState& state);

struct ClearOutcome {
    int exitCode = 0; // 0 done, 2 the unit failed, 3 no room or no directory, 130 stopped by Ctrl-C
    LogSpaceReport report;
    std::vector<std::string> lines; // the result: bytes available, the files laid out
};
// The log-space worker, Ctrl-C asking it to stop, then the refresh again.
ClearOutcome clearOnConsole(std::atomic<int>& unit, const std::string& command, UnitState& state,
                            std::string& statusMessage);

// "Volume:  low" and "Battery saver:  30 minutes".
std::vector<std::string> settingsLines(const UnitState& state);
const char* volumeName(uint8_t volume);
