// ZELLoadFirmware against virtual units: the exact conversation, what it
// prints and posts, and the checks that stop a load before it sends anything.
#include "load_support.h"

#include "../zelusb_virtual/opened.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using namespace loadtest;
using namespace testunits;

namespace {

UnitSpec unitOf(uint16_t cpuId, bool inBootloader = false) {
    UnitSpec spec;
    spec.cpuId = cpuId;
    spec.trace = true;
    spec.applicationValid = !inBootloader;
    return spec;
}

std::vector<std::string> repeated(std::vector<std::string> v, const std::string& what, int n) {
    for (int i = 0; i < n; ++i) v.push_back(what);
    return v;
}

// After a load the unit runs its new application.
bool runsItsApplication(int unit) {
    const Identified id = identify(unit);
    return id.ok && id.bootMode == 0;
}

} // namespace

TEST(LoadFirmware, Pic18F4520FirmwareOfOneHundredWordsOnTheWire) {
    Opened o(unitOf(0x1087));
    const Files files = madeUpFiles("PIC18F4520", 100, 0x3800, 64);
    const Outcome out = loadFiles(o.unit, files, 0x1087, "PIC18F4520");
    ASSERT_EQ(out.result, 1) << out.printed;
    EXPECT_EQ(out.printed, "Writing bootloader...\nUpgrading firmware...Upgrading firmware (erasing)...\n..."
                           "Upgrading firmware (writing)...\n..........Upgrading firmware (verifying)...\n....."
                           "Upgrading firmware (finalizing)...\nRestarting Bexo...\n");

    const Wire wire = wireOf(o.plugged->trace());
    // Through the application: interrupts off, the body's blocks erased,
    // written, read back, then the vector block erased and written.
    ASSERT_EQ(framedWith(wire, 0x1D).size(), 1u);
    EXPECT_EQ(framedWith(wire, 0x1D)[0], (Bytes{0x1D, 1}));
    const auto erases = framedWith(wire, 0x1C);
    ASSERT_EQ(erases.size(), 4u); // 0x7000, 0x7040, 0x7080, then the vectors' block
    EXPECT_EQ(erases[0], (Bytes{0x1C, 0x00, 0x70}));
    EXPECT_EQ(erases[2], (Bytes{0x1C, 0x80, 0x70}));
    EXPECT_EQ(erases[3], (Bytes{0x1C, 0x00, 0x00}));
    const auto writes = framedWith(wire, 0x11);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0], concat(Bytes{0x11, 0x00, 0x70}, imageWords(files.image, 0x3800, 0x3840)));
    EXPECT_EQ(writes[1], concat(Bytes{0x11, 0x00, 0x00}, imageWords(madeUpFiles("PIC18F4520", 0, 0x3800, 64).image, 0, 10)));
    const auto reads = framedWith(wire, 0x10);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0], (Bytes{0x10, 0x00, 0x70, 60, 0}));
    EXPECT_EQ(reads[1], (Bytes{0x10, 0x78, 0x70, 4, 0}));
    EXPECT_EQ(framedWith(wire, 0x0F).size(), 1u);

    // Through the boot-loader, counter values as device addresses.
    std::vector<std::string> expected = {"1:64", "6", "6", "6", "1:64", "5", "5"};
    expected = repeated(expected, "4", 6);
    expected = repeated(expected, "3", 2);
    expected.push_back("1:64");
    expected = repeated(expected, "2", 5);
    expected.insert(expected.end(), {"1:0", "6", "1:0"});
    expected = repeated(expected, "3", 32);
    expected.push_back("1:0");
    expected = repeated(expected, "2", 3);
    const auto names = bootCommandNames(wire);
    ASSERT_GE(names.size(), expected.size());
    // The 49 zero bytes and the counter probe come first: they find the application.
    EXPECT_EQ(std::vector<std::string>(names.end() - static_cast<long>(expected.size()), names.end()), expected);

    // Each write carries the image words from its position on: 32, 56, 80, 83, ..., 98, 99.
    Bytes body;
    for (const Bytes& r : wire.boot) {
        if (r[0] == 5) body = concat(body, Bytes(r.begin() + 1, r.begin() + 49));
        if (r[0] == 4) body = concat(body, Bytes(r.begin() + 1, r.begin() + 7));
        if (r[0] == 3 && body.size() < 2 * 68) body = concat(body, Bytes(r.begin() + 1, r.begin() + 3));
    }
    EXPECT_EQ(body, imageWords(files.image, 32, 100));

    const vunit::Storage s = storedState(*o.plugged);
    EXPECT_EQ(programWords(s, 0, 100), imageWords(files.image, 0, 100));
    EXPECT_EQ(programWords(s, 0x3800, 0x3840), imageWords(files.image, 0x3800, 0x3840));
    EXPECT_TRUE(s.applicationValid);
    EXPECT_FALSE(s.resetVectorBroken);
    EXPECT_TRUE(runsItsApplication(o.unit));

#if !defined(_WIN32)
    std::vector<std::pair<int, int>> progress;
    for (const auto& r : out.records) {
        EXPECT_EQ(r.range, 100);
        EXPECT_EQ(r.tag, 5u);
        progress.emplace_back(r.kind, r.position);
    }
    const std::vector<std::pair<int, int>> want = {
        {7, 0},   {7, 25},  {7, 50},  {7, 75},  {7, 90},  {7, 100}, {8, 0},   {8, 47},  {8, 94},  {8, 141},
        {9, 0},   {9, 35},  {9, 70},  {9, 75},  {9, 79},  {9, 83},  {9, 88},  {9, 92},  {9, 97},  {9, 98},
        {9, 100}, {10, 0},  {10, 20}, {10, 41}, {10, 61}, {10, 82}, {10, 100}, {11, 100}};
    EXPECT_EQ(progress, want);
#endif
}

TEST(LoadFirmware, Pic16F877AHasNoErasesAndAFourWordFirstBlock) {
    Opened o(unitOf(0x0E2A));
    const Files files = madeUpFiles("PIC16F877A", 300, 0x1E00, 200);
    const Outcome out = loadFiles(o.unit, files, 0x0E2A, "PIC16F877A");
    ASSERT_EQ(out.result, 1) << out.printed;
    EXPECT_EQ(out.printed.find("erasing"), std::string::npos);
    const Wire wire = wireOf(o.plugged->trace());
    EXPECT_TRUE(framedWith(wire, 0x1C).empty());
    const auto writes = framedWith(wire, 0x11);
    ASSERT_EQ(writes.size(), 3u); // 128 + 72 words, then the vectors
    EXPECT_EQ(Bytes(writes[0].begin(), writes[0].begin() + 3), (Bytes{0x11, 0x00, 0x1E})); // word addresses
    EXPECT_EQ(Bytes(writes[1].begin(), writes[1].begin() + 3), (Bytes{0x11, 0x80, 0x1E}));
    EXPECT_EQ(writes[2].size(), 3u + 8u);
    const auto names = bootCommandNames(wire);
    EXPECT_EQ(std::count(names.begin(), names.end(), "6"), 0);
    const std::vector<std::string> tail = {"1:0", "3", "3", "3", "3", "1:0", "2"};
    EXPECT_EQ(std::vector<std::string>(names.end() - 7, names.end()), tail);
    EXPECT_NE(std::find(names.begin(), names.end(), "1:4"), names.end()); // the first block ends at word 4
    const vunit::Storage s = storedState(*o.plugged);
    EXPECT_EQ(programWords(s, 0, 300), imageWords(files.image, 0, 300));
    EXPECT_EQ(programWords(s, 0x1E00, 0x1EC8), imageWords(files.image, 0x1E00, 0x1EC8));
    EXPECT_TRUE(runsItsApplication(o.unit));
}

TEST(LoadFirmware, UnitAlreadyInItsBootloaderStillHasItsFileCompared) {
    const Files files = madeUpFiles("PIC18F4520", 100, 0x3800, 64);
    {
        Opened o(unitOf(0x1087, true), false);
        Files wrongName = files;
        wrongName.bootloader = madeUpFiles("PIC18F4525", 100, 0x3800, 64).bootloader;
        const Outcome out = loadFiles(o.unit, wrongName, 0x1087, "PIC18F4520");
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.printed, "Bootloader file is not compatible with your Bexo.");
    }
    Opened o(unitOf(0x1087, true), false);
    const Identified id = identify(o.unit);
    ASSERT_TRUE(id.ok);
    ASSERT_EQ(id.bootMode, 1);
    const Outcome out = loadFiles(o.unit, files, id.cpuId, id.name);
    ASSERT_EQ(out.result, 1) << out.printed;
    EXPECT_EQ(out.printed.rfind("Upgrading firmware...Upgrading firmware (erasing)...\n", 0), 0u);
    EXPECT_TRUE(wireOf(o.plugged->trace()).framed.empty()); // nothing through an application
    const vunit::Storage s = storedState(*o.plugged);
    EXPECT_EQ(programWords(s, 0, 100), imageWords(files.image, 0, 100));
    EXPECT_EQ(s.programFlash[0x7000], 0xFF); // the boot-loader was not written
    EXPECT_TRUE(runsItsApplication(o.unit));
#if !defined(_WIN32)
    ASSERT_FALSE(out.records.empty());
    EXPECT_EQ(out.records.front().kind, ZEL_STATUS_FW_ERASING);
#endif
}

TEST(LoadFirmware, FilesThatDoNotFitStopTheLoadBeforeAnythingIsSent) {
    const Files files = madeUpFiles("PIC18F4520", 100, 0x3800, 64);
    Files damaged = files;
    damaged.firmware[damaged.firmware.find(":00000001FF") - 2] ^= 1; // the last data record's checksum
    Files tooLong = files;
    tooLong.firmware = madeUpFiles("PIC18F4520", 0x3801, 0x3800, 64).firmware;
    Files notAtZero = files;
    notAtZero.firmware = hextext::hexFile({{64, hextext::countingWords(50, 1)}}, "PIC18F4520");
    Files nameOnNextLine = files;
    nameOnNextLine.bootloader = hextext::hexFile({{0, hextext::countingWords(10, 1)}, {0x7000, hextext::countingWords(9, 1)}},
                                                 "PIC18F4520", "");
    const struct {
        const char* why;
        const Files& files;
        uint16_t cpu;
        const char* name;
        const char* message;
    } cases[] = {
        {"unsupported CPU: nothing at all", files, 0x1100, "PIC18F4520", ""},
        {"name in other letter case", files, 0x1087, "pic18f4520", "Bootloader file is not compatible with your Bexo."},
        {"name right after the end record", nameOnNextLine, 0x1087, "PIC18F4520",
         "Bootloader file is not compatible with your Bexo."},
        {"damaged firmware record", damaged, 0x1087, "PIC18F4520", "Problem reading firmware file."},
        {"firmware over the boot-loader", tooLong, 0x1087, "PIC18F4520", "Problem reading firmware file."},
        {"firmware not at word 0", notAtZero, 0x1087, "PIC18F4520", "Problem reading firmware file."},
        {"firmware for another chip", files, 0x0C41, "PIC18F4525", "Bootloader file is not compatible with your Bexo."},
    };
    Opened o(unitOf(0x1087));
    for (const auto& c : cases) {
        const size_t before = wireOf(o.plugged->trace()).outputReports;
        const Outcome out = loadFiles(o.unit, c.files, c.cpu, c.name);
        EXPECT_EQ(out.result, 0) << c.why;
        EXPECT_EQ(out.printed, c.message) << c.why;
        EXPECT_EQ(wireOf(o.plugged->trace()).outputReports, before) << c.why;
        EXPECT_TRUE(out.records.empty()) << c.why;
    }
    EXPECT_EQ(ZELBootloader(o.unit, nullptr, nullptr), 0);
}

TEST(LoadFirmware, PacketUnitKeepsItsApplication) {
    UnitSpec spec = unitOf(0x1087);
    spec.kind = vunit::Kind::Packet;
    Opened o(spec);
    const Outcome out = loadFiles(o.unit, madeUpFiles("PIC18F4520", 100, 0x3800, 64), 0x1087, "PIC18F4520");
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.printed, "Problem preparing Bexo for bootloader.");
    const vunit::Storage s = storedState(*o.plugged);
    EXPECT_TRUE(s.applicationValid);
    EXPECT_FALSE(s.resetVectorBroken);
}

TEST(LoadFirmware, FirmwareShorterThanItsFirstBlock) {
    Opened o(unitOf(0x1087));
    const Files files = madeUpFiles("PIC18F4520", 10, 0x3800, 64);
    const Outcome out = loadFiles(o.unit, files, 0x1087, "PIC18F4520");
    ASSERT_EQ(out.result, 1) << out.printed;
    const auto names = bootCommandNames(wireOf(o.plugged->trace()));
    const std::vector<std::string> tail = {"1:0", "2", "2", "2"}; // the whole block is read back
    EXPECT_EQ(std::vector<std::string>(names.end() - 4, names.end()), tail);
    EXPECT_EQ(programWords(storedState(*o.plugged), 0, 10), imageWords(files.image, 0, 10));
}

TEST(LoadFirmware, RefusedInterruptsOrABadReadBackLeaveTheApplicationStarting) {
    const Files files = madeUpFiles("PIC18F4520", 100, 0x3800, 64);
    {
        Opened o(unitOf(0x1087));
        armNow(o, "wrong-code");
        const Outcome out = loadFiles(o.unit, files, 0x1087, "PIC18F4520");
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.printed, "Writing bootloader...\nProblem preparing Bexo for bootloader.");
        EXPECT_TRUE(storedState(*o.plugged).applicationValid);
    }
    Opened o(unitOf(0x1087));
    armNow(o, "short-read:4");
    const Outcome out = loadFiles(o.unit, files, 0x1087, "PIC18F4520");
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.printed, "Writing bootloader...\nProblem verifying bootloader.");
    const vunit::Storage s = storedState(*o.plugged);
    EXPECT_TRUE(s.applicationValid); // the vectors come after the read-back, so they were never written
    EXPECT_FALSE(s.resetVectorBroken);
    EXPECT_TRUE(runsItsApplication(o.unit));
}

TEST(LoadFirmware, WordTheChipCannotHoldFailsTheVerify) {
    Files files = madeUpFiles("PIC16F877A", 100, 0x1E00, 50);
    Bytes words = hextext::countingWords(100, 0x1000);
    for (size_t i = 1; i < words.size(); i += 2) words[i] &= 0x3F;
    words[2 * 50 + 1] = 0xFF; // more than 14 bits
    files.firmware = hextext::hexFile({{0, words}}, "PIC16F877A");
    Opened o(unitOf(0x0E2A));
    const Outcome out = loadFiles(o.unit, files, 0x0E2A, "PIC16F877A");
    EXPECT_EQ(out.result, 0);
    const std::string end = "Upgrading firmware (verifying)...\n...Problem verifying firmware.";
    EXPECT_EQ(out.printed.substr(out.printed.size() - end.size()), end); // word 50 is in the fourth read
    EXPECT_FALSE(storedState(*o.plugged).resetVectorBroken); // the first block was not touched yet
}

TEST(LoadFirmware, FinalRestartGivesUpAfterThirtyTwoRepeats) {
    const Files files = madeUpFiles("PIC18F4520", 100, 0x3800, 64);
    Opened o(unitOf(0x1087, true), false);
    ASSERT_EQ(ZELPowerOn(o.unit), 1); // pin 5 up already: no rising edge to switch the boot-loader off
    const Outcome out = loadFiles(o.unit, files, 0x1087, "PIC18F4520");
    EXPECT_EQ(out.result, 0);
    const std::string end = "Restarting Bexo...\nProblem restarting Bexo during firmware.";
    EXPECT_EQ(out.printed.substr(out.printed.size() - end.size()), end);
    EXPECT_EQ(wireOf(o.plugged->trace()).statusRequests, 1 + 32); // the first ask, then 32 repeats
    EXPECT_EQ(programWords(storedState(*o.plugged), 0, 100), imageWords(files.image, 0, 100));
}
