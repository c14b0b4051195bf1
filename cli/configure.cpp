// bexolog configure [--volume off|low|high] [--battery-saver MINUTES]: the
// export program's Configure page. Without options, the unit's settings;
// with them, the EEPROM write of Apply (its lines on stdout say what was
// written) and the settings read back. The unit takes them at its next
// restart.
//
// Exit codes: 0 done; 1 no unit, or the unit is not configurable, or a
// setting it does not take; 2 the unit failed.
#include "commands.h"
#include "unitflows.h"
#include "unitsettings.h"

#include <cstdio>
#include <memory>

namespace {

struct ConfigureOptions {
    std::string volume;
    std::string minutes;
    UnitChoice unit;
};

int volumeCode(const std::string& name) {
    if (name == "off" || name == "mute") return 0;
    if (name == "low") return 1;
    if (name == "high") return 2;
    return -1;
}

void runConfigure(const ConfigureOptions& o) {
    StdoutToStderr quiet;
    UnitSession session("bexolog configure", o.unit);
    if (o.volume == "medium")
        session.fail("a Bexo has three volume levels: off, low and high; nothing was written");
    session.open(false);
    UnitState state;
    if (!refreshOnConsole(session.unit, session.command, state)) throw CLI::RuntimeError(2);
    if (o.volume.empty() && o.minutes.empty()) {
        quiet.restore();
        if (!state.unitConfigurable) {
            std::printf("Settings:         %s\n", notConfigurable(state).c_str());
            return;
        }
        for (const std::string& line : settingsLines(state)) std::printf("%s\n", line.c_str());
        return;
    }
    if (!state.unitConfigurable) session.fail("the unit is " + notConfigurable(state) + "; nothing was written");
    if (!o.minutes.empty() && state.codedLayout)
        session.fail("this unit keeps its battery-saver time (EEPROM family 0x82..); nothing was written");

    // The page as Apply reads it: the shown minutes unless new ones are given.
    const ConfigureView view = configureView(state, true);
    const int volume = o.volume.empty() ? view.markedVolume : volumeCode(o.volume);
    const std::string minutes = o.minutes.empty() ? view.minutes : o.minutes;
    const int clamped = clampedBatterySaverMinutes(minutes);
    if (!o.minutes.empty() && std::to_string(clamped) != o.minutes)
        std::fprintf(stderr, "%s: the battery-saver time is 2 to 1080 minutes: %d minutes written\n",
                     session.command.c_str(), clamped);
    readConfigureChoice(state, volume == 0, volume == 1, volume == 2, minutes);

    quiet.restore(); // the write's lines are the result
    ConsoleDialog dialog(session.command, session.unit);
    const bool written = runSettingsDialog(session.unit, state, dialog.link());
    dialog.finish();
    if (!written) throw CLI::RuntimeError(2);
    StdoutToStderr again;
    UnitState after;
    if (!refreshOnConsole(session.unit, session.command, after)) throw CLI::RuntimeError(2);
    again.restore();
    for (const std::string& line : settingsLines(after)) std::printf("%s\n", line.c_str());
    std::fprintf(stderr, "%s: the Bexo takes the new settings when it next restarts\n", session.command.c_str());
}

} // namespace

void addConfigureCommand(CLI::App& app) {
    auto o = std::make_shared<ConfigureOptions>();
    CLI::App* cmd = app.add_subcommand("configure", "Show or change the unit's volume and battery-saver time, as the "
                                                    "export program's Configure page does.");
    cmd->add_option("--volume", o->volume, "Volume of the unit's sounds")
        ->check(CLI::IsMember({"off", "mute", "low", "medium", "high"}));
    cmd->add_option("--battery-saver", o->minutes,
                    "On batteries, shut down after the vehicle has stood still this long (2 to 1080)")
        ->type_name("MINUTES");
    addUnitOptions(cmd, o->unit);
    cmd->callback([o] { runConfigure(*o); });
}
