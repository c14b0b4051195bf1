// bexo-sim fault: arm a fault that fires when a program next talks to the unit.
#include "args.h"
#include "commands.h"

#include "faults.h"
#include "vstore/armed_faults.h"
#include "vstore/folder.h"

#include <cstdio>
#include <memory>

namespace {

struct FaultOptions {
    std::string dir;
    std::vector<std::string> specs;
};

void runFault(const FaultOptions& o) {
    std::string spec;
    for (const std::string& s : o.specs) spec += (spec.empty() ? "" : " ") + s;
    if (!vunit::parseFaults(spec)) throw simtool::Failure("fault '" + spec + "' is not understood (see bexo-sim fault --help)");
    if (!vunit::isUnitFolder(o.dir)) throw simtool::Failure(o.dir + " holds no virtual unit");
    vunit::appendFault(o.dir, spec);
    std::printf("armed: %s\n", spec.c_str());
}

} // namespace

void addFaultCommand(CLI::App& app) {
    auto o = std::make_shared<FaultOptions>();
    CLI::App* cmd = app.add_subcommand("fault", "Arm a fault for the next program that talks to the unit");
    cmd->footer(
        "The fault fires the next time a program talks to the unit (at its next open, or at once when the "
        "program polls for faults). SPEC is NAME or NAME:N, several separated by commas or blanks: "
        "drop-response, late-response[:ms], wrong-code, short-read[:bytes], garbage[:reports], unplug-after:N, "
        "power-cut-program:N, power-cut-erase:N, power-cut:N, power-off:N.");
    cmd->add_option("DIR", o->dir, "Unit folder")->required();
    cmd->add_option("SPEC", o->specs, "Fault spec")->required();
    cmd->callback([o] { runFault(*o); });
}
