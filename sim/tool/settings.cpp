// bexo-sim trace and timing: run options kept in unit.conf. They take effect
// the next time a program opens the unit.
#include "args.h"
#include "commands.h"
#include "unit_access.h"

#include <cstdio>
#include <memory>

namespace {

struct SettingOptions {
    std::string dir;
    std::string value;
};

void change(const std::string& dir, const std::function<void(vunit::FolderOptions&)>& edit) {
    vunit::UnitFolder u = simtool::readUnit(dir);
    edit(u.options);
    vunit::saveConfig(dir, u.identity, u.options);
}

} // namespace

void addSettingCommands(CLI::App& app) {
    auto trace = std::make_shared<SettingOptions>();
    CLI::App* t = app.add_subcommand(
        "trace", "Trace every report the unit exchanges into FILE (relative to the unit folder), or 'off'");
    t->add_option("DIR", trace->dir, "Unit folder")->required();
    t->add_option("FILE", trace->value, "Trace file, or off")->required();
    t->callback([trace] {
        change(trace->dir, [&](vunit::FolderOptions& o) { o.tracePath = trace->value == "off" ? "" : trace->value; });
        std::printf("trace %s\n", trace->value.c_str());
    });

    auto timing = std::make_shared<SettingOptions>();
    CLI::App* m = app.add_subcommand("timing", "USB report pacing and command times: on, or off (instant)");
    m->add_option("DIR", timing->dir, "Unit folder")->required();
    m->add_option("STATE", timing->value, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
    m->callback([timing] {
        change(timing->dir, [&](vunit::FolderOptions& o) { o.timing = timing->value == "on"; });
        std::printf("timing %s\n", timing->value.c_str());
    });
}
