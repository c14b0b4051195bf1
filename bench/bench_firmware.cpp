// A whole PIC18F4520 firmware load on a virtual unit with the USB timing
// model on: a firmware filling program memory below a boot-loader at byte
// 0x7000, the boot-loader written through the application first. The unit's
// model clock is the bound any host can reach (frames each way, programming
// times, the unit overlapping its work with the next report); the load's
// wall time less the fixed waits the loader must sleep, against it, is what
// the host adds. Also per phase, and the waits on their own.
#include "hex_text.h"
#include "firmware_image.h"
#include "load_plan.h"
#include "platform/backends.h"
#include "timing.h"
#include "unit_state.h"
#include "vfactory/layout.h"
#include "vstore/folder.h"
#include "zelusb_virtual.h"

#include <chrono>
#include <fcntl.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBootStart = 0x3800; // words: byte 0x7000
constexpr uint32_t kBootWords = 1024;

struct Mark {
    int kind, position;
    Clock::time_point wall;
    uint64_t modelUs;
};

struct Run {
    std::string path;
    std::vector<Mark> marks;
};

void record(void* context, unsigned int message, uintptr_t, intptr_t lParam) {
    if (message != ZEL_STATUS_MESSAGE) return;
    auto* run = static_cast<Run*>(context);
    auto* r = reinterpret_cast<_ZEL_STATUS_RECORD*>(lParam);
    run->marks.push_back({r->kind, r->position, Clock::now(), zelhid::virt::modelTimeUs(run->path)});
    ZELFreeStatusBuffer(r);
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

[[noreturn]] void die(const char* what) {
    std::fprintf(stderr, "bench_firmware: %s\n", what);
    std::exit(1);
}

struct Frames {
    uint64_t out = 0, in = 0, reportsOut = 0, reportsIn = 0, statusRequests = 0;
};

// Frames of every report in the trace: an output report's size follows its id.
Frames framesOf(const std::filesystem::path& trace) {
    Frames f;
    std::ifstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string time, dir, id;
        s >> time >> dir >> id;
        if (dir == "OUT") {
            const unsigned v = static_cast<unsigned>(std::stoul(id, nullptr, 16));
            const size_t size = v == 0x10 ? 8 : v == 0x11 ? 16 : v == 0x12 ? 128 : 321;
            f.out += vunit::timing::framesOf(size);
            ++f.reportsOut;
            std::string what;
            if (v == 0x20 && s >> what && what == "01") ++f.statusRequests;
        } else if (dir == "IN") {
            f.in += 1;
            ++f.reportsIn;
        }
    }
    return f;
}

} // namespace

int main() {
    // Real waits: the fixed sleeps are part of what a load costs.
    unsetenv("ZELUSB_FAST_CLOCK");
    ZELDLLInitialize();

    const std::vector<hextext::Chunk> boot = {{0, hextext::countingWords(10, 0x2E00)},
                                              {2 * kBootStart, hextext::countingWords(kBootWords, 0x2400)}};
    const std::vector<hextext::Chunk> fw = {{0, hextext::countingWords(kBootStart, 0x1000)}};
    std::string bootText = hextext::hexFile(boot, "PIC18F4520"), fwText = hextext::hexFile(fw, "PIC18F4520");

    const auto dir = std::filesystem::temp_directory_path() / ("bexo-bench-fw-" + std::to_string(std::random_device{}()));
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.cpuId = 0x1087;
    vunit::FolderOptions options;
    options.timing = true;
    options.tracePath = "trace.log";
    vunit::createUnitFolder(dir, d.identity, vfactory::buildUnit(d), options);
    ZELVirtualPlug(dir.string().c_str());
    const int unit = ZELOpenNextAvailableDevice();
    if (unit < 0) die("could not open the virtual unit");
    ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 0}}); // into the application, without power-on's own wait
    ZELSetPins(unit, _ZEL_PINS{{0, 0, 0, 2, 2, 2}});

    Run run;
    char path[1024];
    int size = sizeof path;
    ZELGetDeviceString(unit, path, &size);
    run.path = path;
    ZEL_SINK sink{record, &run};
    ZELRegisterStatusWindow(unit, &sink, 0);
    char name[] = "PIC18F4520";

    std::fflush(stdout);
    const uint64_t model0 = zelhid::virt::modelTimeUs(run.path);
    const auto wall0 = Clock::now();
    const int savedStdout = dup(fileno(stdout)); // the loader's lines and dots go nowhere
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, fileno(stdout));
    const int result = ZELLoadFirmware(unit, fwText.data(), static_cast<int>(fwText.size()), bootText.data(),
                                       static_cast<int>(bootText.size()), 0x1087, name);
    const auto wall1 = Clock::now();
    const uint64_t model1 = zelhid::virt::modelTimeUs(run.path);
    std::fflush(stdout);
    dup2(savedStdout, fileno(stdout));
    close(devNull);
    close(savedStdout);
    if (result != 1) die("the load failed");
    ZELCloseDevice(unit);
    const Frames frames = framesOf(dir / "trace.log");
    ZELVirtualUnplug(dir.string().c_str());
    std::filesystem::remove_all(dir);

    const zel::FirmwareChip& chip = *zel::firmwareChipOf(0x1087);
    const zel::FirmwareImage load = zel::prepareFirmwareImage(chip, bootText, fwText, "PIC18F4520");
    const zel::LoadPlan plan = zel::planLoad(chip, load, false);
    const uint64_t rows = plan.bootEraseBlocks + (plan.bootWords + 31) / 32 + plan.vectorErases + 1 + plan.bodyErases +
                          plan.writes24 + plan.writes3 + plan.writes1 + plan.firstBlockErases + plan.firstBlockWrites;
    const double programmingMs = static_cast<double>(rows * vunit::timing::kRowWriteUs) / 1000.0;

    // Fixed waits: the counter probe's 500 ms time-out (the application does
    // not answer it), 500 ms before each power-up, power-on's 3500 ms, and
    // 100 ms per status repeat (two asks if the unit switched off at once).
    const uint64_t repeats = frames.statusRequests > 2 ? frames.statusRequests - 2 : 0;
    const double waitsMs = 500.0 + 500.0 + 500.0 + 3500.0 + 100.0 * static_cast<double>(repeats);
    const double wallMs = ms(wall1 - wall0), modelMs = static_cast<double>(model1 - model0) / 1000.0;

    std::printf("PIC18F4520 load: firmware words 0x0000-0x%04X (%u words), boot-loader of %u words at byte 0x7000\n",
                load.firmwareEnd - 1, load.firmwareEnd, kBootWords);
    std::printf("  reports                     %6llu out, %llu in: %llu frames of 1 ms\n",
                static_cast<unsigned long long>(frames.reportsOut), static_cast<unsigned long long>(frames.reportsIn),
                static_cast<unsigned long long>(frames.out + frames.in));
    std::printf("  programming (2 ms a row)    %9.1f ms (%llu rows written or erased)\n", programmingMs,
                static_cast<unsigned long long>(rows));
    std::printf("  frames + programming        %9.1f ms (no overlap)\n",
                static_cast<double>(frames.out + frames.in) + programmingMs);
    std::printf("  USB bound (model clock)     %9.1f ms (the unit programs while the next report arrives)\n", modelMs);
    std::printf("  fixed waits                 %9.1f ms (probe 500, 2 x 500 before power-up, power-on 3500, "
                "%llu status repeats)\n",
                waitsMs, static_cast<unsigned long long>(repeats));
    std::printf("  wall time                   %9.1f ms\n", wallMs);
    std::printf("  host overhead               %9.1f ms  %+6.2f%% of the bound\n", wallMs - waitsMs - modelMs,
                100.0 * (wallMs - waitsMs - modelMs) / modelMs);

    // Per phase, between status records.
    struct Phase {
        const char* name;
        int fromKind, fromPosition, toKind, toPosition;
    };
    const Phase phases[] = {{"boot-loader body", 7, 0, 7, 90},   {"erase", 8, 0, 9, 0},
                            {"write", 9, 0, 10, 0},              {"verify", 10, 0, 11, 100}};
    auto find = [&run](int kind, int position) -> const Mark* {
        for (const Mark& m : run.marks)
            if (m.kind == kind && m.position == position) return &m;
        return nullptr;
    };
    std::printf("  phase              wall ms   bound ms   overhead\n");
    for (const Phase& p : phases) {
        const Mark* a = find(p.fromKind, p.fromPosition);
        const Mark* b = find(p.toKind, p.toPosition);
        if (!a || !b) continue;
        const double w = ms(b->wall - a->wall), m = static_cast<double>(b->modelUs - a->modelUs) / 1000.0;
        std::printf("  %-16s %9.1f  %9.1f   %+6.2f%%\n", p.name, w, m, 100.0 * (w - m) / m);
    }
    return 0;
}
