// The wire trace: its form, and the same script giving the same file.
#include "host.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace hosttest;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// In the working directory, which is the build's own test folder.
std::string tracePath(const std::string& name) { return "vunit_" + name + ".trace"; }

// A script with a bit of everything, including seeded garbage and a torn write.
std::string runScript(const std::string& name, bool timing) {
    const std::string path = tracePath(name);
    {
        vunit::UnitOptions o;
        o.tracePath = path;
        o.timing = timing;
        vunit::Identity id = streamIdentity();
        id.seed = 42;
        Host h;
        auto u = poweredUnit(id, h, o);
        transact(h, {0x0D});
        transact(h, writeMemoryRequest(0x100, Bytes(300, 0x10)));
        transact(h, readMemoryRequest(0x100, 20));
        vunit::armFault(*u, "garbage:3");
        status(h);
        transact(h, addressRequest(0x13, 0x10000));
        transact(h, addressRequest(0x23, 0x10000));
        vunit::armFault(*u, "power-cut-program:1");
        transact(h, writeMemoryRequest(0x300, Bytes(64, 0)), 0);
    }
    return slurp(path);
}

} // namespace

TEST(Trace, SameScriptSameTrace) {
    const std::string a = runScript("a", false), b = runScript("b", false);
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, b);
    EXPECT_NE(a.find("--- fault garbage: 3 reports"), std::string::npos);
    EXPECT_NE(a.find("--- power failed: unplugged"), std::string::npos);
    const std::string c = runScript("c", true), d = runScript("d", true);
    EXPECT_EQ(c, d);
    EXPECT_NE(a, c); // the erase takes model time only with timing
}

TEST(Trace, LinesShowModelTimeAndReportBytes) {
    const std::string path = tracePath("form");
    {
        vunit::UnitOptions o;
        o.tracePath = path;
        Host h;
        auto u = poweredUnit(streamIdentity(0x1087, 18), h, o);
        transact(h, {0x0D});
    }
    std::istringstream in(slurp(path));
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0].substr(0, 26), "    0.000 --- plugged in: ");
    // Power-on pins (321-byte control reports: six frames each, zeros
    // trimmed), the reframe, then the version request and its answer.
    EXPECT_EQ(lines[1], "    0.000 OUT 20 02 00 00 00 02 02 [+314]");
    EXPECT_EQ(lines[2], "    0.006 --- power OFF -> HELD");
    EXPECT_EQ(lines[5], "    0.012 OUT 20 [+320]");
    EXPECT_EQ(lines[6], "    0.018 OUT 10 02 0D 04 00 00 00 03 [+313]");
    EXPECT_EQ(lines[7], "    0.019 IN  01 02 08 01 1D 12 87 10");
    EXPECT_EQ(lines[8], "    0.020 IN  01 B0 03 04 04 04 04 04");
    EXPECT_EQ(lines[9], "    0.021 --- unit closed");
}

// A trace is evidence of what reached the host: answers that were sent but
// never read before the cable went are marked as dropped, and only those.
TEST(Trace, AnswersNeverReadAreMarkedDropped) {
    const std::string path = tracePath("dropped");
    {
        vunit::UnitOptions o;
        o.tracePath = path;
        Host h;
        auto u = poweredUnit(streamIdentity(0x1087, 18), h, o);
        transact(h, {0x0D});          // answered and read
        ASSERT_TRUE(sendMessage(h, {0x0D})); // answered, never read
        vunit::unplug(*u);
    }
    std::istringstream in(slurp(path));
    std::vector<std::string> dropped;
    size_t versionAnswers = 0;
    for (std::string l; std::getline(in, l);) {
        if (l.find("IN  01 02 08 01 1D 12 87 10") != std::string::npos) ++versionAnswers;
        if (l.find("--- dropped, never read (unplugged): IN ") != std::string::npos) dropped.push_back(l);
    }
    EXPECT_EQ(versionAnswers, 3u); // read once, sent once more, dropped once
    ASSERT_EQ(dropped.size(), 2u); // the second answer's two reports
    EXPECT_NE(dropped[0].find("IN  01 02 08 01 1D 12 87 10"), std::string::npos);
    EXPECT_NE(dropped[1].find("IN  01 B0 03 04 04 04 04 04"), std::string::npos);
}
