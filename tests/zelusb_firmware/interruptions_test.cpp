// A sample of interrupted loads (the firmware_interruptions program runs
// them all): cut by a power failure or by pulling the cable, plugged in again
// and loaded once more, the unit ends with the new firmware and runs it,
// except for a cut while the reset vector itself is being rewritten.
#include "interruptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace interruptions;

namespace {

// Where the order of the load leaves the reset vector broken: the boot-
// loader's vectors (through the application), the firmware's first block.
bool resetVectorPhase(const std::string& phase) { return phase == "vectors" || phase == "first block"; }

struct Cut {
    std::string fault;
    std::string phase; // where it must land
    bool leavesNothingToStart;
};

void expectCut(const loadtest::Files& files, uint16_t cpuId, const Cut& c) {
    const Attempt a = interruptAndReload(files, cpuId, c.fault);
    SCOPED_TRACE(c.fault + ": cut in " + a.phase + " at request " + std::to_string(a.command) + " (" + a.commandName +
                 ")");
    ASSERT_TRUE(a.cut);
    EXPECT_EQ(a.phase, c.phase);
    EXPECT_EQ(a.broken, c.leavesNothingToStart);
    EXPECT_EQ(a.recovered, !c.leavesNothingToStart) << a.secondPrinted;
}

} // namespace

TEST(Interruptions, CablePulledInEachPhaseOfAPic18F4520Load) {
    const loadtest::Files files = loadtest::madeUpFiles("PIC18F4520", 100, 0x3800, 64);
    const auto points = unplugPointsByPhase(files, 0x1087);
    std::set<std::string> phases;
    for (const auto& [phase, n] : points) {
        phases.insert(phase);
        expectCut(files, 0x1087, {"unplug-after:" + std::to_string(n), phase, resetVectorPhase(phase)});
    }
    for (const char* phase : {"probe", "boot-loader start", "boot-loader erase", "boot-loader write", "boot-loader read-back",
                              "vectors", "restart into boot-loader", "firmware erase", "firmware write", "firmware verify",
                              "first block", "final restart"})
        EXPECT_TRUE(phases.count(phase)) << phase;
}

TEST(Interruptions, PowerFailingMidWriteOrEraseOfAPic18F4520) {
    const loadtest::Files files = loadtest::madeUpFiles("PIC18F4520", 100, 0x3800, 64);
    // Erases: 3 of the boot-loader's body, the vector block, 3 of the firmware's, then its first block.
    expectCut(files, 0x1087, {"power-cut-erase:2", "boot-loader erase", false});
    expectCut(files, 0x1087, {"power-cut-program:2", "vectors", true}); // the vector write torn
    expectCut(files, 0x1087, {"power-cut-erase:6", "firmware erase", false});
    expectCut(files, 0x1087, {"power-cut-program:5", "firmware write", false});
}

TEST(Interruptions, Pic16F877ATornWrites) {
    const loadtest::Files files = loadtest::madeUpFiles("PIC16F877A", 100, 0x1E00, 64);
    expectCut(files, 0x0E20, {"power-cut-program:1", "boot-loader write", false});
    expectCut(files, 0x0E20, {"power-cut-program:5", "firmware write", false});
    expectCut(files, 0x0E20, {"power-cut-program:7", "first block", true}); // its first single word
}

// The image into external flash recovers; the boot-loader's install of it
// from there is the one request whose cut leaves nothing to start.
TEST(Interruptions, Pic18F4550ImageAndItsInstall) {
    const loadtest::Files files = loadtest::madeUpFiles("PIC18F4550", 300, 0x3800, 64);
    const Recorded r = recordLoad(files, 0x1200);
    // Program operations: 0x11 writes, 0x14 writes, 0x15 copies, and the install after 0x16.
    size_t programs = 0, imageWrites = 0;
    for (size_t i = 0; i < r.wire.sequence.size(); ++i) {
        const std::string code = r.wire.sequence[i].substr(0, 2);
        if (code == "11" || code == "14" || code == "15" || code == "16") ++programs;
        if (code == "14" && r.phases[i] == "image to external flash") imageWrites = programs;
    }
    ASSERT_GT(imageWrites, 0u);
    expectCut(files, 0x1200, {"power-cut-program:" + std::to_string(imageWrites), "image to external flash", false});
    expectCut(files, 0x1200, {"power-cut-program:" + std::to_string(programs), "hand-over", true});
}
