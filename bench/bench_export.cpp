// The export program's download and clear with the USB timing model on,
// through the core the program runs: a 32-sector stream unit and a
// 64-sector packet unit whose log space (the files the clear lays out) is
// full of recorded tracks.
//
// The bound of each run is what the virtual unit's model clock counts (the
// 1 ms frames of every report, erase and programming times) plus the fixed
// waits: the program's (2000 ms after the reframe and 500 ms after each log
// file; 100 ms after each file written and 1000 ms before the restart) and
// the library's, as it slept them. Host overhead is wall time above it.
// Figures on stdout; the library's own lines go to stderr.
#include "downloadworker.h"
#include "link/clock.h"
#include "logspaceworker.h"
#include "platform/backends.h"
#include "track/gpx.h"
#include "unitlink.h"
#include "unitrefresh.h"
#include "vfactory/layout.h"
#include "vfactory/logfiles.h"
#include "vstore/folder.h"
#include "zelusb_virtual.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

FILE* g_figures = stdout;

[[noreturn]] void die(const std::string& message) {
    std::fprintf(stderr, "bench_export: %s\n", message.c_str());
    std::exit(1);
}

// The repository's recorded tracks, as a unit logs them, end to end.
std::vector<uint8_t> recordedLog() {
    std::vector<uint8_t> log;
    for (const char* name : {"logger-a", "logger-b"}) {
        track::Gpx gpx;
        std::string error;
        if (!track::readGpxFile(std::string(BEXO_TEST_DATA) + "/tracks/" + name + ".gpx", gpx, error)) die(error);
        const auto image = logimage::encodeTrack(track::toFixes(gpx), {5, 1, 0});
        log.insert(log.end(), image.begin(), image.end());
    }
    return log;
}

long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

struct Mark {
    Clock::time_point wall;
    uint64_t modelUs;
    int64_t libraryWaitsMs;
};

Mark mark(const std::string& path) {
    return {Clock::now(), zelhid::virt::modelTimeUs(path), zel::fixedWaitsSoFarMs()};
}

void report(const char* what, const Mark& a, const Mark& b, long programWaitsMs) {
    const double wall = std::chrono::duration<double, std::milli>(b.wall - a.wall).count();
    const double model = static_cast<double>(b.modelUs - a.modelUs) / 1000.0;
    const double library = static_cast<double>(b.libraryWaitsMs - a.libraryWaitsMs);
    const double bound = model + library + static_cast<double>(programWaitsMs);
    std::fprintf(g_figures, "    %-9s USB model %9.1f ms + waits %7.0f ms (program %ld, library %.0f) = bound %9.1f ms   "
                "wall %9.1f ms   overhead %+6.2f%%\n",
                what, model, library + static_cast<double>(programWaitsMs), programWaitsMs, library, bound, wall,
                100.0 * (wall - bound) / bound);
}

void run(vunit::Kind kind, uint8_t chipCode, const std::vector<uint8_t>& track) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.kind = kind;
    d.identity.chipCode = chipCode;
    d.logFiles = true;
    vunit::Storage storage = vfactory::buildUnit(d);
    const size_t capacity = vfactory::logSpace(storage, d.identity).capacity;
    std::vector<uint8_t> log;
    while (log.size() < capacity) log.insert(log.end(), track.begin(), track.end());
    log.resize(capacity);
    vfactory::appendLog(storage, d.identity, log);
    const std::vector<uint8_t> image = vfactory::logImage(storage, d.identity);

    const fs::path dir = fs::temp_directory_path() / ("bexo-bench-export-" + std::to_string(std::random_device{}()));
    vunit::FolderOptions options;
    options.timing = true;
    vunit::createUnitFolder(dir / "unit", d.identity, storage, options);
    ZELVirtualPlug((dir / "unit").string().c_str());
    std::atomic<int> unit{-1};
    openNextUnit(unit);
    if (unit < 0 || !ZELPowerOn(unit)) die("could not open the virtual unit");
    char path[1024];
    int size = sizeof path;
    ZELGetDeviceString(unit, path, &size);
    UnitState state;
    if (!runUnitRefresh(unit, state, DialogLink{})) die("the refresh failed");
    int files = 0;
    for (const auto& e : vfactory::logFiles(storage, d.identity)) files += e.size ? 1 : 0;
    std::fprintf(g_figures, "  %s unit, %d sectors: %d log files, %zu bytes, all logged\n",
                kind == vunit::Kind::Stream ? "stream" : "packet", static_cast<int>(state.usableSectorCount), files,
                image.size());

    const std::string text = (dir / "log.txt").string();
    std::string statusMessage;
    std::atomic<bool> running{false};
    DownloadSetup setup = downloadSetup(state, MergeOptions{});
    setup.keepImage = true;
    Mark a = mark(path);
    DownloadReport download;
    {
        DownloadDialog dialog(DownloadValues{unit, text, statusMessage, running}, std::move(setup), DialogLink{});
        while (!dialog.waitUntilFinished(std::chrono::seconds(1))) {}
        download = dialog.report();
    }
    Mark b = mark(path);
    if (download.result != 1) die("the download failed: " + statusMessage);
    if (download.image != image) die("the downloaded image differs from the unit's log files");
    report("download", a, b, 2000 + 500L * files);
    std::fprintf(g_figures, "              %s, image as on the unit\n", statusMessage.c_str());

    a = mark(path);
    LogSpaceReport clear;
    {
        LogSpaceDialog dialog(LogSpaceValues{unit, statusMessage}, state, DialogLink{});
        while (!dialog.waitUntilFinished(std::chrono::seconds(1))) {}
        clear = dialog.report();
    }
    b = mark(path);
    if (clear.result != 1 || !clear.restarted) die("the clear failed");
    report("clear", a, b, 100L * clear.written + 1000);
    std::fprintf(g_figures, "              %d log files laid out, %u bytes available\n", clear.written, clear.bytesLaidOut);

    closeUnit(unit);
    ZELVirtualUnplug((dir / "unit").string().c_str());
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

} // namespace

int main() {
    // Real waits throughout: they are part of what is measured.
    unsetenv("ZELUSB_FAST_CLOCK");
    unsetenv("ZELUSB_VIRTUAL");
    ZELDLLInitialize();
    const std::vector<uint8_t> track = recordedLog();
    // The figures keep stdout; whatever else prints there goes to stderr.
    std::fflush(stdout);
    const int figures = dup(fileno(stdout));
    if (figures >= 0 && (g_figures = fdopen(figures, "w")) != nullptr) dup2(fileno(stderr), fileno(stdout));
    if (!g_figures) g_figures = stdout;
    std::setvbuf(g_figures, nullptr, _IOLBF, 0);
    std::fprintf(g_figures, "Download and clear through the export program's core, USB timing model on\n");
    run(vunit::Kind::Stream, 20, track);
    run(vunit::Kind::Packet, 21, track);
    std::fprintf(g_figures, "Peak memory of the process: %ld KiB\n", peakKiB());
    std::fclose(g_figures);
    return 0;
}
