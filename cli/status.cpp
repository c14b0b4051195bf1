// bexolog status: what the export program's Summary page shows of a unit,
// and its Configure settings, from one unit refresh.
#include "commands.h"
#include "summarytexts.h"
#include "unitflows.h"

#include <cstdio>
#include <memory>

namespace {

void runStatus(const UnitChoice& choice) {
    StdoutToStderr quiet;
    UnitSession session("bexolog status", choice);
    session.open(false);
    UnitState state;
    if (!refreshOnConsole(session.unit, session.command, state)) throw CLI::RuntimeError(2);
    quiet.restore();
    const SummaryTexts t = summaryTexts(state, true);
    std::printf("Bexo Log Export:  %s\n", t.versionLabel.c_str());
    std::printf("Bexo version:     %s%s%s\n", t.versions.c_str(), t.customerMark.empty() ? "" : "  ",
                t.customerMark.c_str());
    std::printf("CPU:              %s\n", t.cpu.c_str());
    std::printf("Logging capable:  %s\n", t.loggingCapable.c_str());
    std::printf("Serial number:    %s\n", t.serialNumber.c_str());
    std::printf("Bytes used:       %s\n", t.bytesUsed.c_str());
    std::printf("Logs:             %s\n", t.logs.c_str());
    std::printf("EEPROM family:    0x%04X\n", state.eeFamily);
    if (!state.unitConfigurable) {
        std::printf("Settings:         %s\n", notConfigurable(state).c_str());
        return;
    }
    for (const std::string& line : settingsLines(state)) std::printf("%s\n", line.c_str());
}

} // namespace

void addStatusCommand(CLI::App& app) {
    auto choice = std::make_shared<UnitChoice>();
    CLI::App* cmd = app.add_subcommand("status", "Show a unit as the export program's Summary page does: versions, "
                                                 "CPU, logging capability, serial number, bytes used, log files; and "
                                                 "its volume and battery-saver settings.");
    addUnitOptions(cmd, *choice);
    cmd->callback([choice] { runStatus(*choice); });
}
