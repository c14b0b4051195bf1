#include "unitflows.h"

#include <algorithm>
#include <cstdio>
#include <thread>

bool refreshOnConsole(std::atomic<int>& unit, const std::string& command, UnitState& state) {
    ConsoleDialog dialog(command, unit);
    return runUnitRefresh(unit, state, dialog.link());
}

std::string notConfigurable(const UnitState& state) {
    if (state.unitConfigurable) return {};
    char text[64];
    std::snprintf(text, sizeof text, "not configurable (EEPROM family 0x%04X)", state.eeFamily);
    return text;
}

const char* volumeName(uint8_t volume) {
    switch (volume) {
    case 0: return "off";
    case 1: return "low";
    case 2: return "high";
    default: return "unknown";
    }
}

std::vector<std::string> settingsLines(const UnitState& state) {
    char volume[64], saver[64];
    std::snprintf(volume, sizeof volume, "Volume:           %s", volumeName(state.volume));
    std::snprintf(saver, sizeof saver, "Battery saver:    %d minutes", state.batterySaverSeconds / 60);
    return {volume, saver};
}

namespace {

// The log files as the unit now lists them.
std::vector<std::string> laidOutFiles(int unit) {
    std::vector<_direntry> entries(kDirectoryListing);
    int sector = 0, count = 0;
    unsigned short sectors = 0;
    std::vector<std::string> lines;
    if (ZELReadDirectory(unit, sector, sectors, entries.data(), count) != 1) return lines;
    entries.resize(static_cast<size_t>(count));
    std::sort(entries.begin(), entries.end(), [](const _direntry& a, const _direntry& b) { return a.id < b.id; });
    for (const _direntry& e : entries) {
        if (e.type != kLogFileType) continue;
        char line[96];
        std::snprintf(line, sizeof line, "Log file %u: %u bytes in sector %u", static_cast<unsigned>(e.id),
                      static_cast<unsigned>(e.size), static_cast<unsigned>(e.address >> 16));
        lines.push_back(line);
    }
    return lines;
}

} // namespace

ClearOutcome clearOnConsole(std::atomic<int>& unit, const std::string& command, UnitState& state,
                            std::string& statusMessage) {
    ClearOutcome out;
    ConsoleDialog dialog(command, unit);
    {
        LogSpaceDialog clear(LogSpaceValues{unit, statusMessage}, state, dialog.link());
        bool asked = false;
        while (!clear.waitUntilFinished(std::chrono::milliseconds(50))) {
            if (!asked && InterruptWatch::interrupted()) {
                clear.stop();
                asked = true;
                dialog.line("stopping after the log file being written; the unit is then restarted");
            }
        }
        out.report = clear.report();
    }
    dialog.finish();
    const LogSpaceReport& r = out.report;
    char text[160];
    if (r.stopped) {
        std::snprintf(text, sizeof text, "stopped: %d of %d log files laid out (%u bytes); run clear again for the rest",
                      r.written, r.planned, r.bytesLaidOut);
        dialog.line(text);
        out.exitCode = 130;
    } else if (r.result < 0 || (!r.restarted && r.errorCode != kNoRoomError && !r.noDirectory)) {
        out.exitCode = 2;
    } else if (!r.restarted) {
        std::snprintf(text, sizeof text, "%d of %d log files laid out (%u bytes); the unit was not restarted",
                      r.written, r.planned, r.bytesLaidOut);
        if (!r.noDirectory) dialog.line(text);
        out.exitCode = 3;
    }
    if (unit < 0) return out;
    if (!refreshOnConsole(unit, command, state)) {
        if (out.exitCode == 0) out.exitCode = 2;
        return out;
    }
    if (out.exitCode == 0) {
        std::snprintf(text, sizeof text, "%u bytes available for new logs.", r.bytesLaidOut);
        out.lines.push_back(text);
    }
    for (const std::string& line : laidOutFiles(unit)) out.lines.push_back(line);
    return out;
}
