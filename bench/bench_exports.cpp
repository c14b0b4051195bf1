// bexolog export of a 4 MiB image (a full unit, about 1.4 M records) to each
// format: wall time and peak memory of the program, and the same export of a
// 1 MiB image to show what grows with the image. Beside them GPSBabel
// converting a GPX file of 200,000 points (written by bexolog from the same
// kind of drives) to GPX and to CSV. Each figure is the best of a few runs.
#include "bexolog_parser.h"
#include "dense_image.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kRepetitions = 3;
constexpr std::size_t kGpsbabelPoints = 200000;

struct Run {
    bool ok = false;
    double seconds = 0;
    double peakKiB = 0;
};

// Runs a program to its end, its output thrown away.
Run runProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) return run;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    run.peakKiB = static_cast<double>(usage.ru_maxrss);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

Run best(const std::vector<std::string>& argv) {
    Run best;
    for (int r = 0; r < kRepetitions; ++r) {
        const Run run = runProgram(argv);
        if (!run.ok) return run;
        if (!best.ok || run.seconds < best.seconds) best = run;
    }
    return best;
}

int recordCount(const std::vector<uint8_t>& image) {
    int count = 0;
    parselog(image.data(), static_cast<int>(image.size()), nullptr, &count);
    return count;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// The first `records` records of an image, as an image: cut at a run's end.
std::vector<uint8_t> imageOf(std::size_t records) {
    std::vector<uint8_t> image = denseImage(1u << 20);
    std::size_t low = 0, high = image.size();
    while (high - low > 1) {
        const std::size_t mid = (low + high) / 2;
        const std::vector<uint8_t> part(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(mid));
        (static_cast<std::size_t>(recordCount(part)) >= records ? high : low) = mid;
    }
    image.resize(high);
    image.push_back(0x00);
    return image;
}

} // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path work = fs::temp_directory_path() / ("bench_exports." + std::to_string(getpid()));
    fs::create_directories(work);
    const std::string big = (work / "big.bin").string(), small = (work / "small.bin").string();
    const std::vector<uint8_t> bigImage = denseImage(4u << 20), smallImage = denseImage(1u << 20);
    writeFile(big, bigImage);
    writeFile(small, smallImage);
    const int bigCount = recordCount(bigImage), smallCount = recordCount(smallImage);
    std::printf("images: 4 MiB with %d records (%.1f MiB of records), 1 MiB with %d records (%.1f MiB)\n", bigCount,
                bigCount * 18.0 / 1048576, smallCount, smallCount * 18.0 / 1048576);
    std::printf("%-8s %9s %11s %13s %13s %15s\n", "format", "4 MiB s", "us/record", "peak MiB 4M", "peak MiB 1M",
                "growth/record");

    for (const char* format : {"txt", "gpx", "geojson", "kml", "csv", "dwc", "svg", "png"}) {
        const std::string out = (work / (std::string("out.") + format)).string();
        const Run b = best({BEXOLOG_PATH, "export", big, "-f", format, "-o", out});
        const Run s = best({BEXOLOG_PATH, "export", small, "-f", format, "-o", out});
        if (!b.ok || !s.ok) {
            std::printf("%-8s failed\n", format);
            continue;
        }
        // Peak memory that grows per record beyond the image and records themselves.
        const double moreBytes = static_cast<double>(bigImage.size() - smallImage.size());
        const double moreRecords = bigCount - smallCount;
        const double growth = ((b.peakKiB - s.peakKiB) * 1024.0 - moreBytes - moreRecords * 18.0) / moreRecords;
        std::printf("%-8s %9.3f %11.3f %13.1f %13.1f %13.1f B\n", format, b.seconds, b.seconds * 1e6 / bigCount,
                    b.peakKiB / 1024.0, s.peakKiB / 1024.0, growth);
        fs::remove(out);
    }

    // GPSBabel: the same drives as GPX, 200,000 points.
    const std::string gpxIn = (work / "points.gpx").string();
    writeFile((work / "points.bin").string(), imageOf(kGpsbabelPoints));
    const Run made = runProgram({BEXOLOG_PATH, "export", (work / "points.bin").string(), "-f", "gpx", "-o", gpxIn});
    if (!made.ok || !runProgram({"gpsbabel", "-V"}).ok) {
        std::printf("gpsbabel: not run (apt-get install gpsbabel)\n");
    } else {
        const int points = recordCount(imageOf(kGpsbabelPoints));
        for (const char* target : {"gpx", "unicsv"}) {
            const Run g = best({"gpsbabel", "-i", "gpx", "-f", gpxIn, "-o", target, "-F", (work / "babel.out").string()});
            std::printf("gpsbabel gpx->%-6s %d points: %.3f s, %.3f us/point, peak %.1f MiB\n", target, points,
                        g.seconds, g.seconds * 1e6 / points, g.peakKiB / 1024.0);
        }
    }
    fs::remove_all(work);
    return 0;
}
