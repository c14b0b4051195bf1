// Flash directory figures:
//  1. PlanPlacement on adversarial 256-entry directories (many small items,
//     nearly full sectors, items that fit nowhere, twins, many new maps):
//     the worst time of several runs, against a 50 ms budget, and the
//     search's size; on small directories the plainly written search for
//     comparison.
//  2. How often a plan found for a crowded unit would run out of room in the
//     order its steps run (what the check before execution refuses).
//  3. Downloading a full unit's log files (eight, as the log-space layout
//     makes them, half written) with the USB timing model on: wall time
//     against the bound the unit's model clock sets.
#include "flash/directory_format.h"
#include "flash/placement.h"
#include "flash/planner.h"
#include "flash/rotation.h"
#include "platform/backends.h"
#include "vfactory/layout.h"
#include "vfactory/logfiles.h"
#include "vstore/folder.h"
#include "zelusb_virtual.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace zel;
using Clock = std::chrono::steady_clock;

namespace {

struct Directory {
    std::array<uint8_t, 256> map{};
    int sectorCount = 64;
    std::vector<_direntry> list;
    std::vector<_direntry> items;
    int spare = -1;
};

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Every sector but the spare (sector 0) holds `perSector` items of the sizes `size` gives.
Directory crowded(int sectors, int perSector, const std::function<uint16_t(int sector, int k)>& size) {
    Directory d;
    d.sectorCount = sectors;
    std::fill_n(d.map.begin(), sectors, uint8_t{1});
    unsigned id = 1;
    for (int s = 1; s < sectors; ++s) {
        uint32_t at = 0;
        for (int k = 0; k < perSector && d.list.size() < 256; ++k) {
            const auto n = static_cast<uint16_t>(std::min<uint32_t>(size(s, k), 65400 - at)); // never more than a sector
            d.list.push_back({sectorAddress(s) + at, 0x14, id++, n});
            at += n;
        }
    }
    d.spare = FindSpareSector(d.list.data(), d.list.size(), sectors, 1, d.map.data());
    return d;
}

struct Timing {
    double worstMs = 0;
    bool planned = false;
    int depth = 0;
    PlanStats stats;
};

Timing timePlan(const Directory& d, int runs = 5) {
    Timing t;
    for (int r = 0; r < runs; ++r) {
        std::vector<_direntry> list = d.list;
        Plan plan;
        PlanStats stats;
        const auto start = Clock::now();
        t.planned = PlanPlacement(list, d.items, d.spare, {d.sectorCount, d.map.data()}, plan, &stats);
        t.worstMs = std::max(t.worstMs, msSince(start));
        t.depth = plan.bestDepth;
        t.stats = stats;
    }
    return t;
}

void row(const char* name, const Directory& d) {
    const Timing t = timePlan(d);
    std::printf("  %-46s %3zu entries %2zu new  %-9s %8.3f ms %s %10llu sets %10llu placements%s\n", name, d.list.size(),
                d.items.size(), t.planned ? ("depth " + std::to_string(t.depth)).c_str() : "no plan", t.worstMs,
                t.worstMs <= 50 ? "    " : "SLOW", static_cast<unsigned long long>(t.stats.nodes),
                static_cast<unsigned long long>(t.stats.trials), t.stats.gaveUp ? "  (gave up)" : "");
}

void plannerFigures() {
    std::printf("PlanPlacement, worst of 5 runs (budget 50 ms)\n");
    std::mt19937 rng(99);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    Directory d = crowded(64, 4, [&](int, int k) { return static_cast<uint16_t>(k == 0 ? 64000 : pick(150, 300)); });
    d.items = {{0, 0x16, 9000, 40000}};
    row("nearly full sectors, small items, fits nowhere", d);
    d.items = {{0, 0x16, 9000, 65400}};
    row("a whole sector's worth", d);

    d = crowded(64, 4, [&](int, int) { return static_cast<uint16_t>(pick(15000, 16000)); });
    d.items = {{0, 0x16, 9000, 30000}};
    row("four items of about 16000 a sector, 30000 new", d);
    d = crowded(64, 4, [&](int, int) { return uint16_t{16000}; });
    d.items = {{0, 0x16, 9000, 30000}};
    row("the same, all twins", d);
    d = crowded(64, 4, [&](int s, int) { return static_cast<uint16_t>(15900 + s); });
    d.items = {{0, 0x16, 9000, 21000}};
    row("sizes differing by sector, 21000 new", d);

    d = crowded(52, 5, [&](int, int k) { return static_cast<uint16_t>(k < 4 ? pick(11000, 13000) : pick(1, 3000)); });
    d.items.clear();
    for (unsigned i = 0; i < 45; ++i) d.items.push_back({0, 0xFE, 0x0300 + i, static_cast<uint16_t>(pick(3000, 9000))});
    row("45 new maps onto crowded sectors", d);

    // Random crowded directories of 256 entries, the new item a little
    // larger than any sector's room, so that plans must relocate: the
    // slowest of many.
    double worst = 0;
    std::string worstCase;
    std::array<size_t, kMaxRelocations + 2> byDepth{};
    size_t gaveUp = 0;
    const int trials = 6000;
    for (int i = 0; i < trials; ++i) {
        const int sectors = std::array<int, 3>{16, 32, 64}[static_cast<size_t>(pick(0, 2))];
        const int per = std::min(256 / (sectors - 1), 12);
        const int headroom = pick(300, 12000);
        const int spread = pick(0, 5);
        const int jitter = pick(1, 60);
        Directory r = crowded(sectors, per, [&](int s, int k) {
            const int share = (65000 - headroom) / per;
            switch (spread) {
            case 0: return static_cast<uint16_t>(share);                                  // twins
            case 1: return static_cast<uint16_t>(pick(share / 2, share));                 // alike
            case 2: return static_cast<uint16_t>(k == 0 ? pick(share, share * 2) : pick(1, share)); // mixed
            case 3: return static_cast<uint16_t>(share - ((s + k) % 2) * jitter);        // two kinds of twins
            case 4: return static_cast<uint16_t>(share - pick(0, jitter));               // near twins
            default: return static_cast<uint16_t>(k % 2 ? share / 2 : share * 3 / 2);   // halves and one-and-a-halves
            }
        });
        int64_t room = 0;
        std::vector<int64_t> used(256, 0);
        for (const _direntry& e : r.list) used[static_cast<size_t>(sectorOf(e.address))] += e.size;
        for (int s = 1; s < sectors; ++s) room = std::max<int64_t>(room, 0xFFFF - used[static_cast<size_t>(s)]);
        const int want = static_cast<int>(std::clamp<int64_t>(room - 256 + pick(1, 30000), 1, 65535));
        r.items = {{0, 0x16, 9000, static_cast<uint16_t>(want)}};
        if (std::getenv("BENCH_FLASH_TRACE")) {
            std::fprintf(stderr, "case %d: %d sectors %zu entries item %d spread %d\n", i, sectors, r.list.size(), want, spread);
        }
        const Timing t = timePlan(r, 1);
        if (std::getenv("BENCH_FLASH_TRACE"))
            std::fprintf(stderr, "  %.3f ms %llu sets %llu placements\n", t.worstMs,
                         static_cast<unsigned long long>(t.stats.nodes), static_cast<unsigned long long>(t.stats.trials));
        gaveUp += t.stats.gaveUp;
        ++byDepth[t.planned ? static_cast<size_t>(t.depth) : kMaxRelocations + 1];
        if (t.worstMs > worst) {
            worst = t.worstMs;
            worstCase = std::to_string(sectors) + " sectors, " + std::to_string(r.list.size()) + " entries, item of " +
                        std::to_string(want) + " bytes, " + (t.planned ? "depth " + std::to_string(t.depth) : "no plan") +
                        ", " + std::to_string(t.stats.nodes) + " sets";
        }
    }
    std::printf("  %d random crowded directories, item just too large for any sector:", trials);
    for (size_t k = 0; k <= kMaxRelocations; ++k) std::printf(" %zu at depth %zu,", byDepth[k], k);
    std::printf(" %zu without a plan (%zu of them by giving up)\n    slowest %.3f ms (%s)\n", byDepth[kMaxRelocations + 1], gaveUp, worst, worstCase.c_str());
}

void checkFigures() {
    std::printf("Plans on crowded units run in their execution order (the check before execution)\n");
    std::mt19937 rng(11);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int sectors : {4, 8, 16}) {
        std::array<size_t, kMaxRelocations + 1> plans{}, refused{};
        for (int it = 0; it < 100000; ++it) {
            Directory d = crowded(sectors, 4, [&](int, int) { return uint16_t{0}; });
            d.list.clear();
            std::vector<uint32_t> used(static_cast<size_t>(sectors), 0);
            for (int s = 0; s + 1 < sectors; ++s) { // sector sectors-1 is the spare
                uint32_t left = 0xFFFF - static_cast<uint32_t>(pick(200, 20000));
                for (int j = pick(1, 4); j > 0 && left >= 2000; --j) {
                    uint32_t n = j == 1 ? left : static_cast<uint32_t>(pick(1000, static_cast<int>(left)));
                    n = n / 1000 * 1000;
                    if (!n) continue;
                    d.list.push_back({sectorAddress(s) + used[static_cast<size_t>(s)], 0x14,
                                      static_cast<unsigned>(d.list.size() + 1), static_cast<uint16_t>(n)});
                    used[static_cast<size_t>(s)] += n;
                    left -= n;
                }
            }
            d.spare = sectors - 1;
            d.items = {{0, 0x16, 9000, static_cast<uint16_t>(pick(5, 40) * 1000)}};
            Plan plan;
            std::vector<_direntry> list = d.list;
            if (!PlanPlacement(list, d.items, d.spare, {sectors, d.map.data()}, plan)) continue;
            const auto depth = static_cast<size_t>(plan.bestDepth);
            ++plans[depth];
            if (!checkPlan({list, 0, d.spare}, plan, d.items).ok) ++refused[depth];
        }
        std::printf("  %2d sectors:", sectors);
        for (size_t k = 0; k <= kMaxRelocations; ++k)
            if (plans[k]) std::printf("  %zu relocations %zu/%zu refused", k, refused[k], plans[k]);
        std::printf("\n");
    }
}

void downloadFigures(vunit::Kind kind) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.kind = kind;
    d.logFiles = true;
    vunit::Storage storage = vfactory::buildUnit(d);
    const vfactory::LogSpace space = vfactory::logSpace(storage, d.identity);
    std::vector<uint8_t> logged(space.capacity / 2);
    for (size_t i = 0; i < logged.size(); ++i) logged[i] = static_cast<uint8_t>(i * 13 % 251);
    vfactory::appendLog(storage, d.identity, logged);
    const auto files = vfactory::logFiles(storage, d.identity);

    const auto dir = std::filesystem::temp_directory_path() / ("bexo-bench-flash-" + std::to_string(std::random_device{}()));
    vunit::FolderOptions options;
    options.timing = true;
    vunit::createUnitFolder(dir, d.identity, storage, options);
    ZELVirtualPlug(dir.string().c_str());
    const int unit = ZELOpenNextAvailableDevice();
    if (unit < 0 || !ZELPowerOn(unit)) {
        std::fprintf(stderr, "bench_flash: could not open the virtual unit\n");
        std::exit(1);
    }
    char path[1024];
    int size = sizeof path;
    ZELGetDeviceString(unit, path, &size);
    std::vector<char> image(space.capacity);
    const uint64_t model0 = zelhid::virt::modelTimeUs(path);
    const auto wall0 = Clock::now();
    size_t at = 0;
    for (const auto& f : files) {
        unsigned int length = static_cast<unsigned int>(image.size() - at);
        if (!ZELReadDirectoryItemPartialByID(unit, f.id, image.data() + at, &length)) {
            std::fprintf(stderr, "bench_flash: reading log file %u failed\n", f.id);
            std::exit(1);
        }
        at += length;
    }
    const double wall = msSince(wall0);
    const double model = static_cast<double>(zelhid::virt::modelTimeUs(path) - model0) / 1000.0;
    const bool same = std::equal(image.begin(), image.end(), vfactory::logImage(storage, d.identity).begin(),
                                 [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
    std::printf("  %s unit: %zu log files, %zu of %zu bytes written; %s\n", kind == vunit::Kind::Stream ? "stream" : "packet",
                files.size(), logged.size(), space.capacity, same ? "image as on the unit" : "IMAGE DIFFERS");
    std::printf("    USB bound (model clock) %9.1f ms   wall %9.1f ms   overhead %+6.2f%%\n", model, wall,
                100.0 * (wall - model) / model);
    ZELCloseDevice(unit);
    ZELVirtualUnplug(dir.string().c_str());
    std::filesystem::remove_all(dir);
}

} // namespace

int main(int argc, char** argv) {
    setenv("ZELUSB_FAST_CLOCK", "1", 1); // opening's fixed waits are not what is measured
    ZELDLLInitialize();
    plannerFigures();
    if (argc > 1 && std::string(argv[1]) == "--planner") return 0;
    checkFigures();
    std::printf("Downloading every log file of a full unit (reads up to the erased tail)\n");
    downloadFigures(vunit::Kind::Packet);
    downloadFigures(vunit::Kind::Stream);
    return 0;
}
