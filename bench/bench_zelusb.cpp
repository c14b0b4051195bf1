// Host overhead of zelusb's memory reads against the bound a full-speed USB
// link sets, measured on virtual units with the USB timing model on: the
// unit's model clock counts the 1 ms frames each report needs, so
// wall time minus model time is what the host adds. Each run once waking on
// arrival (the default) and once polling the queue every 10 ms.
// Also: peak memory of a process that has opened one unit.
#include "link/transport.h"
#include "platform/backends.h"
#include "unit_state.h"
#include "vfactory/layout.h"
#include "vstore/folder.h"
#include "zelusb_virtual.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct Figures {
    double wallMs = 0, modelMs = 0;
};

std::filesystem::path makeUnit(vunit::Kind kind) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("bexo-bench-" + std::to_string(std::random_device{}()));
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.identity.kind = kind;
    vunit::FolderOptions options;
    options.timing = true;
    vunit::createUnitFolder(dir, d.identity, vfactory::buildUnit(d), options);
    return dir;
}

Figures readMany(vunit::Kind kind, unsigned short length, int count, bool polling) {
    const auto dir = makeUnit(kind);
    ZELVirtualPlug(dir.string().c_str());
    const int unit = ZELOpenNextAvailableDevice();
    if (unit < 0 || !ZELPowerOn(unit)) {
        std::fprintf(stderr, "bench_zelusb: could not open the virtual unit\n");
        std::exit(1);
    }
    char path[1024];
    int size = sizeof path;
    ZELGetDeviceString(unit, path, &size);
    zel::setPollingReceive(polling);
    std::vector<unsigned char> buffer(length);
    const uint64_t model0 = zelhid::virt::modelTimeUs(path);
    const auto wall0 = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        unsigned short n = length;
        if (!ZELReadMemory(unit, static_cast<unsigned>(i % 16) * length, buffer.data(), n)) {
            std::fprintf(stderr, "bench_zelusb: read %d failed\n", i);
            std::exit(1);
        }
    }
    const auto wall1 = std::chrono::steady_clock::now();
    const uint64_t model1 = zelhid::virt::modelTimeUs(path);
    zel::setPollingReceive(false);
    ZELCloseDevice(unit);
    ZELVirtualUnplug(dir.string().c_str());
    std::filesystem::remove_all(dir);
    Figures f;
    f.wallMs = std::chrono::duration<double, std::milli>(wall1 - wall0).count();
    f.modelMs = static_cast<double>(model1 - model0) / 1000.0;
    return f;
}

long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

void report(const char* what, const Figures& event, const Figures& poll) {
    std::printf("%s\n", what);
    std::printf("  USB bound (model clock)     %9.1f ms\n", event.modelMs);
    std::printf("  wake on arrival             %9.1f ms  overhead %+6.2f%%\n", event.wallMs,
                100.0 * (event.wallMs - event.modelMs) / event.modelMs);
    std::printf("  poll every 10 ms            %9.1f ms  overhead %+6.2f%%\n", poll.wallMs,
                100.0 * (poll.wallMs - poll.modelMs) / poll.modelMs);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    setenv("ZELUSB_FAST_CLOCK", "1", 1); // the fixed waits of opening are not what is measured
    ZELDLLInitialize();

    // First, while the process is what a program that opens one unit would be.
    const auto dir = makeUnit(vunit::Kind::Stream);
    ZELVirtualPlug(dir.string().c_str());
    const int unit = ZELOpenNextAvailableDevice();
    unsigned char major, minor, code;
    ZELPowerOn(unit);
    ZELGetVersion(unit, major, minor, code);
    std::printf("peak memory with one unit open: %ld KiB (VmHWM)\n", peakKiB());
    ZELCloseDevice(unit);
    ZELVirtualUnplug(dir.string().c_str());
    std::filesystem::remove_all(dir);


    report(("stream unit: " + std::to_string(count) + " reads of 100 bytes").c_str(),
           readMany(vunit::Kind::Stream, 100, count, false), readMany(vunit::Kind::Stream, 100, count, true));
    report(("packet unit: " + std::to_string(count) + " reads of 4075 bytes").c_str(),
           readMany(vunit::Kind::Packet, 4075, count, false), readMany(vunit::Kind::Packet, 4075, count, true));

    return 0;
}
