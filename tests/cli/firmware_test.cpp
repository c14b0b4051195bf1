// bexolog firmware, end to end: the real program against a virtual unit in a
// folder, with the assembled PIC programs.
#include "chip_table.h"
#include "cli_support.h"
#include "firmware_image.h"
#include "unit_state.h"
#include "vfactory/layout.h"
#include "vstore/armed_faults.h"
#include "vstore/folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

void setEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

class FirmwareCommand : public CliTest {
protected:
    FirmwareCommand() : CliTest("firmware_") {}
    void SetUp() override {
        CliTest::SetUp();
        unit_ = fs::absolute(base_ + ".unit");
        fs::remove_all(unit_);
        setEnvironment("ZELUSB_VIRTUAL", unit_.string());
        setEnvironment("ZELUSB_FAST_CLOCK", "1");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(unit_, ignored);
        for (const char* suffix : {".out", ".err", "_app.hex", "_boot.hex"}) std::remove((base_ + suffix).c_str());
    }

    void makeUnit(uint16_t cpuId, vunit::Kind kind = vunit::Kind::Stream) {
        vfactory::UnitDescription d = vfactory::defaultDescription();
        d.identity.cpuId = cpuId;
        d.identity.kind = kind;
        vunit::createUnitFolder(unit_, d.identity, vfactory::buildUnit(d));
    }

    // The assembled files, copied here under names the shell takes on every platform.
    void useFiles(const std::string& prefix, const std::string& appText = "") {
        app_ = appText.empty() ? readFile(std::string(BEXO_FIRMWARE_PROGRAMS) + "/" + prefix + "_app.hex") : appText;
        boot_ = readFile(std::string(BEXO_FIRMWARE_PROGRAMS) + "/" + prefix + "_boot.hex");
        writeImage(std::vector<uint8_t>(app_.begin(), app_.end()), "_app.hex");
        writeImage(std::vector<uint8_t>(boot_.begin(), boot_.end()), "_boot.hex");
    }

    Outcome firmware(const std::string& options = "") {
        return bexolog("firmware " + base_ + "_app.hex " + base_ + "_boot.hex" + options);
    }

    std::string app_, boot_;
    fs::path unit_;
};

TEST_F(FirmwareCommand, LoadsTheFilesAndTheUnitThenRunsThem) {
    makeUnit(0x1087);
    useFiles("pic18f4520");
    const Outcome run = firmware();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The library's lines pass through as they are.
    EXPECT_EQ(run.out.rfind("Writing bootloader...\nUpgrading firmware...Upgrading firmware (erasing)...\n.", 0), 0u)
        << run.out;
    EXPECT_NE(run.out.find("Upgrading firmware (finalizing)...\nRestarting Bexo...\n"), std::string::npos);
    // The bar: each phase, up to its end.
    for (const char* phase : {"boot-loader", "erasing", "writing", "verifying", "finalizing"})
        EXPECT_NE(run.err.find(std::string("] ") + phase), std::string::npos) << phase;
    EXPECT_NE(run.err.find("[####################] verifying   100%"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("[##########..........] writing      5"), std::string::npos) << run.err;

    const zel::FirmwareChip& chip = *zel::firmwareChipOf(0x1087);
    const zel::FirmwareImage load = zel::prepareFirmwareImage(chip, boot_, app_, "PIC18F4520");
    ASSERT_EQ(load.failure, nullptr);
    const vunit::Storage s = vunit::loadUnitFolder(unit_).storage;
    const auto& flash = s.programFlash;
    EXPECT_TRUE(std::equal(load.image.begin(), load.image.begin() + 2 * load.firmwareEnd, flash.begin()));
    EXPECT_TRUE(std::equal(load.image.begin() + 2 * load.bootStart, load.image.begin() + 2 * load.bootEnd,
                           flash.begin() + 2 * load.bootStart));

    const Outcome info = bexolog("info");
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("Boot mode:     application"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("CPU:           0x1087 PIC18F4520"), std::string::npos) << info.out;
}

TEST_F(FirmwareCommand, DryRunShowsThePlanAndWritesNothing) {
    makeUnit(0x1087);
    useFiles("pic18f4520");
    const auto before = vunit::loadUnitFolder(unit_).storage.programFlash;
    const Outcome run = firmware(" --dry-run");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("CPU 0x1087 PIC18F4520, running its application: nothing is written"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Boot-loader   words 0x3800-"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Firmware      words 0x0000-"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("first block 1 erase, 32 writes of 1 word, 3 reads"), std::string::npos) << run.out;
    const vunit::Storage after = vunit::loadUnitFolder(unit_).storage;
    EXPECT_EQ(after.programFlash, before);
    EXPECT_TRUE(after.applicationValid);
}

TEST_F(FirmwareCommand, FilesThatDoNotFitTheUnitExitWithTheLoadersMessage) {
    makeUnit(0x1087);
    useFiles("pic18f4525"); // for another chip
    Outcome run = firmware();
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "Bootloader file is not compatible with your Bexo.\n");
    EXPECT_NE(run.err.find("do not fit"), std::string::npos) << run.err;

    std::string damaged = readFile(std::string(BEXO_FIRMWARE_PROGRAMS) + "/pic18f4520_app.hex");
    damaged[damaged.find(":00000001FF") - 3] ^= 1; // a digit of the last data record
    useFiles("pic18f4520", damaged);
    run = firmware();
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "Problem reading firmware file.\n");
    run = firmware(" --dry-run");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("Problem reading firmware file."), std::string::npos) << run.err;
    EXPECT_TRUE(vunit::loadUnitFolder(unit_).storage.applicationValid); // nothing was written
}

TEST_F(FirmwareCommand, FailedStepExitsTwo) {
    makeUnit(0x1087, vunit::Kind::Packet); // a boot-loader it could not speak to
    useFiles("pic18f4520");
    const Outcome run = firmware();
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "Problem preparing Bexo for bootloader.\n");
    EXPECT_NE(run.err.find("loading the firmware failed"), std::string::npos) << run.err;
}

TEST_F(FirmwareCommand, MissingFileOrUnitExitsOne) {
    makeUnit(0x1087);
    useFiles("pic18f4520");
    Outcome run = bexolog("firmware no_such_app.hex " + base_ + "_boot.hex");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no_such_app.hex"), std::string::npos) << run.err;
    fs::remove_all(unit_);
    run = firmware();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no Bexo unit found"), std::string::npos) << run.err;
}

} // namespace
