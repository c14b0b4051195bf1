// bexo-sim add-logs: GPX tracks into the unit's log files, as if it had
// logged them.
#include "args.h"
#include "commands.h"
#include "unit_access.h"

#include "logimage/track.h"
#include "track/gpx.h"
#include "vfactory/logfiles.h"

#include <cstdio>
#include <memory>

namespace {

struct AddLogsOptions {
    std::string dir;
    std::vector<std::string> tracks;
    int family = 5;
    int interval = 1;
    int bridge = 0;
    double radius = 50;
    int speedLimit = 50;
};

std::vector<uint8_t> encodeFile(const std::string& path, const AddLogsOptions& o, std::size_t& points) {
    track::Gpx gpx;
    std::string error;
    if (!track::readGpxFile(path, gpx, error)) throw simtool::Failure(path + ": " + error);
    track::FixOptions fixOptions;
    fixOptions.observationRadiusMetres = o.radius;
    fixOptions.speedLimitKmh = static_cast<uint8_t>(o.speedLimit);
    const std::vector<logimage::Fix> fixes = track::toFixes(gpx, fixOptions);
    if (fixes.empty()) throw simtool::Failure(path + ": no track point with a time");
    logimage::EncodeOptions encode;
    encode.family = o.family;
    encode.interval = o.interval;
    encode.bridge = o.bridge;
    points = fixes.size();
    try {
        return logimage::encodeTrack(fixes, encode);
    } catch (const std::invalid_argument& e) {
        throw simtool::Failure(path + ": cannot be logged: " + e.what());
    }
}

void runAddLogs(const AddLogsOptions& o) {
    // Every track is read and encoded before the unit is touched.
    std::vector<std::vector<uint8_t>> images;
    std::vector<std::size_t> points;
    for (const std::string& path : o.tracks) {
        points.push_back(0);
        images.push_back(encodeFile(path, o, points.back()));
    }
    simtool::changeUnit(o.dir, [&](vunit::UnitFolder& u) {
        try {
            if (vfactory::logFiles(u.storage, u.identity).empty()) {
                const auto made = vfactory::layOutLogFiles(u.storage, u.identity);
                std::printf("laid out %zu empty log files\n", made.size());
            }
            for (std::size_t i = 0; i < images.size(); ++i) {
                const std::size_t at = vfactory::appendLog(u.storage, u.identity, images[i]);
                std::printf("%s: %zu points, %zu bytes logged at offset %zu\n", o.tracks[i].c_str(), points[i],
                            images[i].size(), at);
            }
        } catch (const std::invalid_argument& e) {
            throw simtool::Failure(e.what());
        }
        const vfactory::LogSpace space = vfactory::logSpace(u.storage, u.identity);
        std::printf("log space: %zu of %zu bytes used\n", space.used, space.capacity);
    });
}

} // namespace

void addAddLogsCommand(CLI::App& app) {
    auto o = std::make_shared<AddLogsOptions>();
    CLI::App* cmd = app.add_subcommand("add-logs", "Log GPX tracks into the unit's log files");
    cmd->footer(
        "Log GPX tracks into the unit's log files (type 0x60), each after what is already logged; when the unit "
        "has no log files they are first laid out as clearing the log space does. Every track point with a time "
        "is a fix. Observations come from GPX waypoints: a <type> that is a number 1-127 gives that type; "
        "otherwise a type, symbol or name containing 'dead', 'roadkill' or 'carcass' gives 19 (dead wildlife), "
        "and one containing 'crossing' gives 5 (wildlife crossing). Each such waypoint marks one track point "
        "within --radius metres: the nearest in time when the waypoint has a time, else the nearest in place; "
        "a waypoint with no point in reach is dropped.");
    cmd->add_option("DIR", o->dir, "Unit folder")->required();
    cmd->add_option("TRACK", o->tracks, "GPX files, logged in this order")->required()->check(CLI::ExistingFile);
    cmd->add_option("--family", o->family, "Log family 3, 4 or 5 (default 5)")->check(CLI::Range(3, 5));
    cmd->add_option("--interval", o->interval, "Seconds between logged points, 1-256 (default 1)")
        ->check(CLI::Range(1, 256));
    cmd->add_option("--bridge", o->bridge,
                    "Fill in points between fixes at most this many seconds apart (default 0: real fixes only)")
        ->check(CLI::Range(0, 86400));
    cmd->add_option("--radius", o->radius, "Metres within which a waypoint marks a track point (default 50)")
        ->check(CLI::Range(0.0, 1e7));
    cmd->add_option("--speed-limit", o->speedLimit, "Speed limit logged with every point, km/h (default 50)")
        ->check(CLI::Range(0, 255));
    cmd->callback([o] { runAddLogs(*o); });
}
