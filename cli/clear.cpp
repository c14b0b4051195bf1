// bexolog clear [--yes]: the export program's "Clear Bexo memory only": the
// log files deleted and new empty ones laid out, the unit restarted. Asks
// first on a terminal; elsewhere it needs --yes.
//
// Exit codes: 0 done; 1 no unit, not confirmed, or a unit the export
// program does not work with; 2 the unit failed; 3 no room for every file
// (those laid out stay) or no directory; 130 stopped by Ctrl-C.
#include "commands.h"
#include "summarytexts.h"
#include "unitflows.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace {

struct ClearOptions {
    bool yes = false;
    UnitChoice unit;
};

bool confirmed(const UnitState& state) {
    const SummaryTexts t = summaryTexts(state, true);
    std::fprintf(stderr, "Clear the log space of Bexo %s (%s)? Logs not downloaded are lost. [y/N] ",
                 t.serialNumber.c_str(), t.logs.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes";
}

void runClear(const ClearOptions& o) {
    InterruptWatch interrupts;
    StdoutToStderr quiet;
    UnitSession session("bexolog clear", o.unit);
    if (!o.yes && !stdinIsTerminal()) session.fail("not asked on a terminal: add --yes to clear the log space");
    session.open(false);
    UnitState state;
    if (!refreshOnConsole(session.unit, session.command, state)) throw CLI::RuntimeError(2);
    if (!state.unitConfigurable) session.fail("the unit is " + notConfigurable(state) + "; nothing was cleared");
    if (!o.yes && !confirmed(state)) session.fail("nothing was cleared");
    if (InterruptWatch::interrupted()) session.fail("interrupted; nothing was cleared", 130);
    std::string statusMessage;
    const ClearOutcome outcome = clearOnConsole(session.unit, session.command, state, statusMessage);
    quiet.restore();
    for (const std::string& line : outcome.lines) std::printf("%s\n", line.c_str());
    if (outcome.exitCode != 0) throw CLI::RuntimeError(outcome.exitCode);
}

} // namespace

void addClearCommand(CLI::App& app) {
    auto o = std::make_shared<ClearOptions>();
    CLI::App* cmd = app.add_subcommand("clear", "Clear the unit's log space: delete its log files, lay out new empty "
                                                "ones over the free flash, restart the unit.");
    cmd->add_flag("--yes", o->yes, "Do not ask first");
    addUnitOptions(cmd, o->unit);
    cmd->callback([o] { runClear(*o); });
}
