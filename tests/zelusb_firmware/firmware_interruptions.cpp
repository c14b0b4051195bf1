// firmware_interruptions [CHIP...]: every interruption of a load, one by
// one, on virtual units; each followed by plugging in again and loading once
// more. Prints what each cut left and the windows where a cut leaves the
// reset vector broken, with their size in requests; exits 1 when a cut
// outside such a window was not recovered from. Takes minutes: outside CI
// (a sample runs there as zelusb_firmware_interruption_tests).
#include "interruptions.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>

using namespace interruptions;

namespace {

struct Chip {
    const char* name;
    uint16_t cpuId;
    uint32_t bootStart;
};

const Chip kChips[] = {{"PIC18F4520", 0x1087, 0x3800},
                       {"PIC18F4525", 0x0C40, 0x5800},
                       {"PIC18F4550", 0x1200, 0x3800},
                       {"PIC16F877A", 0x0E20, 0x1E00}};

int sweep(const Chip& chip) {
    const loadtest::Files files = loadtest::madeUpFiles(chip.name, 100, chip.bootStart, 64);
    std::printf("%s: firmware of 100 words, boot-loader of 64 words at word 0x%04X\n", chip.name, chip.bootStart);
    int failures = 0;
    std::map<std::string, std::set<size_t>> brokenAt; // phase -> requests at which a cut broke the unit
    std::map<size_t, std::string> names;
    for (const char* kind : {"unplug-after", "power-cut-program", "power-cut-erase"}) {
        int cuts = 0, recovered = 0, broken = 0;
        for (int n = 1;; ++n) {
            const std::string fault = std::string(kind) + ":" + std::to_string(n);
            const Attempt a = interruptAndReload(files, chip.cpuId, fault);
            if (!a.cut) break;
            ++cuts;
            if (a.broken) {
                ++broken;
                brokenAt[a.phase].insert(a.command);
                names[a.command] = a.commandName;
            } else if (a.recovered) {
                ++recovered;
            } else {
                ++failures;
                std::printf("  NOT RECOVERED: %s, cut in %s at request %zu (%s)\n", fault.c_str(), a.phase.c_str(),
                            a.command, a.commandName.c_str());
            }
        }
        std::printf("  %-18s %4d cuts: %4d recovered, %3d left the reset vector broken\n", kind, cuts, recovered, broken);
        std::fflush(stdout);
    }
    for (const auto& [phase, requests] : brokenAt) {
        std::printf("  window in %s: %zu requests (", phase.c_str(), requests.size());
        const char* sep = "";
        for (size_t r : requests) {
            std::printf("%s%zu %s", sep, r, names[r].c_str());
            sep = ", ";
        }
        std::printf(")\n");
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    int failures = 0;
    for (const Chip& chip : kChips) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i) wanted = wanted || std::string(argv[i]) == chip.name;
        if (wanted) failures += sweep(chip);
    }
    std::printf("%s\n", failures ? "Some interruptions were not recovered from." : "Every cut outside the windows was recovered from.");
    return failures ? 1 : 0;
}
