// bexo-sim plug / unplug: pull a unit out of every program that sees it
// through ZELUSB_VIRTUAL, and plug it back in.
#include "args.h"
#include "commands.h"

#include "vstore/folder.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

const char kMarker[] = "unplugged";

void setPlugged(const std::string& dir, bool plugged) {
    if (!vunit::isUnitFolder(dir)) throw simtool::Failure(dir + " holds no virtual unit");
    const std::filesystem::path marker = std::filesystem::path(dir) / kMarker;
    if (plugged) {
        std::error_code error;
        std::filesystem::remove(marker, error);
        if (error) throw simtool::Failure("cannot remove " + marker.string() + ": " + error.message());
    } else {
        std::ofstream file(marker);
        if (!file) throw simtool::Failure("cannot write " + marker.string());
    }
    std::printf("%s: %s\n", dir.c_str(), plugged ? "plugged in" : "pulled out");
}

} // namespace

void addPlugCommands(CLI::App& app) {
    auto dir = std::make_shared<std::string>();
    CLI::App* plug = app.add_subcommand("plug", "Plug the unit back in (programs see an arrival)");
    plug->add_option("DIR", *dir, "Unit folder")->required();
    plug->callback([dir] { setPlugged(*dir, true); });
    CLI::App* unplug = app.add_subcommand("unplug", "Pull the unit out (programs see a removal, then no unit)");
    unplug->add_option("DIR", *dir, "Unit folder")->required();
    unplug->callback([dir] { setPlugged(*dir, false); });
}
