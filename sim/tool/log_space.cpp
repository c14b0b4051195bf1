// bexo-sim clear-logs and log-image: the log space as the export program
// clears and downloads it.
#include "args.h"
#include "commands.h"
#include "unit_access.h"

#include "vfactory/logfiles.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace {

struct ImageOptions {
    std::string dir;
    std::string file;
};

void runClearLogs(const std::string& dir) {
    simtool::changeUnit(dir, [](vunit::UnitFolder& u) {
        try {
            vfactory::removeLogFiles(u.storage, u.identity);
            const auto files = vfactory::layOutLogFiles(u.storage, u.identity);
            std::size_t bytes = 0;
            for (const auto& f : files) bytes += f.size;
            std::printf("%zu empty log files, %zu bytes available for new logs\n", files.size(), bytes);
        } catch (const std::invalid_argument& e) {
            throw simtool::Failure(e.what());
        }
    });
}

void runLogImage(const ImageOptions& o) {
    const vunit::UnitFolder u = simtool::readUnit(o.dir);
    const std::vector<uint8_t> image = vfactory::logImage(u.storage, u.identity);
    std::ofstream out(o.file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) throw simtool::Failure("cannot write " + o.file);
    std::printf("%zu bytes written to %s\n", image.size(), o.file.c_str());
}

} // namespace

void addLogSpaceCommands(CLI::App& app) {
    auto dir = std::make_shared<std::string>();
    CLI::App* clear = app.add_subcommand(
        "clear-logs", "Delete the log files and lay out new empty ones, as the export program's clear does");
    clear->add_option("DIR", *dir, "Unit folder")->required();
    clear->callback([dir] { runClearLogs(*dir); });

    auto o = std::make_shared<ImageOptions>();
    CLI::App* image = app.add_subcommand("log-image", "Write the log files end to end (the raw log image) to FILE");
    image->add_option("DIR", o->dir, "Unit folder")->required();
    image->add_option("FILE", o->file, "Output file")->required();
    image->callback([o] { runLogImage(*o); });
}
