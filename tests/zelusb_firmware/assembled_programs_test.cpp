// Programs assembled with gpasm, loaded end to end into virtual units of
// their chip: afterwards the unit's program memory holds the HEX files' words
// (read through the library and from the unit's folder) and it starts the
// new application.
#include "load_support.h"

#include "../zelusb_virtual/opened.h"
#include "chip_table.h"
#include "firmware_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>

using namespace loadtest;
using namespace testunits;

namespace {

std::string fileText(const std::string& name) {
    std::ifstream in(std::string(BEXO_FIRMWARE_PROGRAMS) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Bytes readThroughLibrary(int unit, const zel::FirmwareChip& chip, uint32_t from, uint32_t to) {
    Bytes out;
    unsigned char block[120];
    for (uint32_t k = from; k < to; k += 60) {
        const uint32_t n = std::min<uint32_t>(60, to - k);
        EXPECT_EQ(ZELReadFlash(unit, static_cast<unsigned short>(k * chip.bytesPerAddress), block,
                               static_cast<unsigned short>(n)),
                  1);
        out.insert(out.end(), block, block + 2 * n);
    }
    return out;
}

uint16_t wordAt(const Bytes& image, uint32_t k) { return static_cast<uint16_t>(image[2 * k] | image[2 * k + 1] << 8); }

} // namespace

// Outside the anonymous namespace: a test's base class may not have internal
// linkage when the suite is compiled as one unit.
struct AssembledProgram {
    const char* chip;
    uint16_t cpuId;
    const char* prefix;
    uint32_t tableWord;                  // where the application's table of known words lies
    std::vector<uint16_t> tableWords;
    uint32_t bootStart;
};

// Test names show the chip, not the record's bytes.
void PrintTo(const AssembledProgram& p, std::ostream* out) { *out << p.chip; }

class AssembledPrograms : public ::testing::TestWithParam<AssembledProgram> {};

TEST_P(AssembledPrograms, LoadEndToEnd) {
    const AssembledProgram& p = GetParam();
    const std::string boot = fileText(std::string(p.prefix) + "_boot.hex");
    const std::string app = fileText(std::string(p.prefix) + "_app.hex");
    ASSERT_FALSE(boot.empty());
    ASSERT_FALSE(app.empty());
    const zel::FirmwareChip& chip = *zel::firmwareChipOf(p.cpuId);
    const zel::FirmwareImage load = zel::prepareFirmwareImage(chip, boot, app, p.chip);
    ASSERT_EQ(load.failure, nullptr);
    EXPECT_EQ(load.bootStart, p.bootStart);
    // The assembler's own words, independently of the reader.
    for (size_t i = 0; i < p.tableWords.size(); ++i) EXPECT_EQ(wordAt(load.image, p.tableWord + static_cast<uint32_t>(i)), p.tableWords[i]);

    UnitSpec spec;
    spec.cpuId = p.cpuId;
    Opened o(spec, false);
    const Identified before = identify(o.unit);
    ASSERT_TRUE(before.ok);
    ASSERT_EQ(before.bootMode, 0);
    ASSERT_STREQ(before.name, p.chip);

    Files files;
    files.bootloader = boot;
    files.firmware = app;
    const Outcome out = loadFiles(o.unit, files, before.cpuId, before.name);
    ASSERT_EQ(out.result, 1) << out.printed;

    EXPECT_EQ(readThroughLibrary(o.unit, chip, 0, load.firmwareEnd), imageWords(load.image, 0, load.firmwareEnd));
    EXPECT_EQ(readThroughLibrary(o.unit, chip, load.bootStart, load.bootEnd),
              imageWords(load.image, load.bootStart, load.bootEnd));
    const vunit::Storage s = storedState(*o.plugged);
    EXPECT_EQ(programWords(s, 0, load.firmwareEnd), imageWords(load.image, 0, load.firmwareEnd));
    EXPECT_EQ(programWords(s, load.bootStart, load.bootEnd), imageWords(load.image, load.bootStart, load.bootEnd));
    for (size_t i = 0; i < p.tableWords.size(); ++i) EXPECT_EQ(wordAt(s.programFlash, p.tableWord + static_cast<uint32_t>(i)), p.tableWords[i]);

    const Identified after = identify(o.unit);
    EXPECT_TRUE(after.ok);
    EXPECT_EQ(after.bootMode, 0); // the new application answers
    EXPECT_STREQ(after.name, p.chip);

    // Loading the same files again over themselves works as the first time.
    EXPECT_EQ(loadFiles(o.unit, files, after.cpuId, after.name).result, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Chips, AssembledPrograms,
    ::testing::Values(AssembledProgram{"PIC18F4520", 0x1087, "pic18f4520", 0x100, {0x1234, 0x5678, 0x9ABC, 0xDEF0}, 0x3800},
                      AssembledProgram{"PIC18F4525", 0x0C43, "pic18f4525", 0x100, {0x1234, 0x5678, 0x9ABC, 0xDEF0}, 0x5800},
                      AssembledProgram{"PIC18F4550", 0x1204, "pic18f4550", 0x100, {0x1234, 0x5678, 0x9ABC, 0xDEF0}, 0x3800},
                      AssembledProgram{"PIC16F877A", 0x0E24, "pic16f877a", 0x100, {0x1234, 0x0678, 0x1ABC, 0x2EF0}, 0x1F00}),
    [](const ::testing::TestParamInfo<AssembledProgram>& param) { return std::string(param.param.chip); });
