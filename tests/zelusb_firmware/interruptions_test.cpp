// A sample of interrupted loads (the firmware_interruptions program runs
// them all): cut in every phase by a power failure or by pulling the cable,
// plugged in again and loaded once more, the unit ends with the new firmware
// and runs it, except for a cut while the reset vector itself is rewritten.
#include "interruptions.h"

#include <gtest/gtest.h>

#include <set>

using namespace interruptions;

namespace {

// The only requests whose interruption leaves the reset vector broken: the
// application's erase and write of the boot-loader's vectors, and the
// boot-loader's erase, counter and single-word writes of the first block.
bool inResetVectorWindow(const Attempt& a) {
    if (a.phase == "vectors") return true;
    return a.phase == "first block" && (a.commandName == "boot 6" || a.commandName == "boot 1:0" || a.commandName == "boot 3");
}

void expectRecoveryOutsideTheWindows(const loadtest::Files& files, uint16_t cpuId, const std::vector<std::string>& faults,
                                     std::set<std::string>& phases) {
    for (const std::string& fault : faults) {
        const Attempt a = interruptAndReload(files, cpuId, fault);
        if (!a.cut) continue;
        phases.insert(a.phase);
        SCOPED_TRACE(fault + ": cut in " + a.phase + " at request " + std::to_string(a.command) + " (" + a.commandName +
                     ")");
        if (a.broken) {
            EXPECT_TRUE(inResetVectorWindow(a));
            EXPECT_FALSE(a.recovered);
        } else {
            EXPECT_TRUE(a.recovered) << a.secondPrinted;
        }
    }
}

} // namespace

TEST(Interruptions, Pic18F4520RecoversFromCutsInEveryPhase) {
    const loadtest::Files files = loadtest::madeUpFiles("PIC18F4520", 100, 0x3800, 64);
    std::set<std::string> phases;
    expectRecoveryOutsideTheWindows(files, 0x1087,
                                    {
                                        "power-cut-erase:1",   // boot-loader erase
                                        "power-cut-program:1", // boot-loader write
                                        "unplug-after:24",     // boot-loader read-back
                                        "power-cut-erase:4",   // vector block erase: in the window
                                        "power-cut-program:2", // vector write: in the window
                                        "unplug-after:60",     // restart into the boot-loader
                                        "power-cut-erase:6",   // firmware erase
                                        "power-cut-program:4", // firmware write
                                        "unplug-after:110",    // firmware verify
                                        "power-cut-erase:8",   // first block erase: in the window
                                        "power-cut-program:20", // first block write: in the window
                                        "unplug-after:150",    // first block read-back
                                        "unplug-after:160",    // final restart
                                    },
                                    phases);
    for (const char* phase : {"boot-loader erase", "boot-loader write", "vectors", "firmware erase", "firmware write",
                              "first block"})
        EXPECT_TRUE(phases.count(phase)) << phase;
}
