// A unit opened from its folder writes every change back as it happens,
// keeps other openers out, and fires the faults armed in the folder.
#include "scratch_dir.h"

#include "host.h"
#include "vfactory/layout.h"
#include "vstore/armed_faults.h"
#include "vstore/folder.h"
#include "vstore/open_unit.h"

#include <gtest/gtest.h>

namespace {

using hosttest::Bytes;
namespace fs = std::filesystem;

void makeUnit(const fs::path& dir, const vunit::FolderOptions& options = {}) {
    const vfactory::UnitDescription d = vfactory::defaultDescription();
    vunit::createUnitFolder(dir, d.identity, vfactory::buildUnit(d), options);
}

std::unique_ptr<vunit::OpenedUnit> open(const fs::path& dir) {
    std::string error;
    auto opened = vunit::openUnitFromFolder(dir, error);
    EXPECT_TRUE(opened) << error;
    return opened;
}

hosttest::Host poweredHost(vunit::OpenedUnit& opened) {
    hosttest::Host h = hosttest::hostFor(*opened.unit);
    hosttest::powerOn(h);
    hosttest::reframe(h);
    return h;
}

TEST(OpenedUnit, EveryChangeReachesTheFolderWhileTheUnitIsOpen) {
    ScratchDir dir("opened");
    makeUnit(dir.path);
    auto opened = open(dir.path);
    ASSERT_TRUE(opened);
    hosttest::Host h = poweredHost(*opened);
    ASSERT_TRUE(hosttest::transact(h, hosttest::writeMemoryRequest(0x50010, {1, 2, 3, 4})));
    ASSERT_EQ(hosttest::transact(h, {0x08, 6, 2}), (Bytes{0x01})); // volume: high

    // Read from disk, as another process would, with the unit still open.
    const vunit::UnitFolder seen = vunit::loadUnitFolder(dir.path);
    EXPECT_EQ(Bytes(seen.storage.sectors[5].begin() + 0x10, seen.storage.sectors[5].begin() + 0x14), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(seen.storage.eeprom[6], 2);
    EXPECT_TRUE(fs::exists(dir / "flash/005.bin"));
}

TEST(OpenedUnit, RunOptionsComeFromTheFolder) {
    ScratchDir dir("openoptions");
    vunit::FolderOptions options;
    options.tracePath = "wire.txt"; // relative to the unit folder
    makeUnit(dir.path, options);
    {
        auto opened = open(dir.path);
        ASSERT_TRUE(opened);
        hosttest::Host h = poweredHost(*opened);
        ASSERT_TRUE(hosttest::transact(h, {0x09, 0, 2}));
    }
    ASSERT_TRUE(fs::exists(dir / "wire.txt"));
    EXPECT_GT(fs::file_size(dir / "wire.txt"), 0u);
}

TEST(OpenedUnit, OneOpenerAtATime) {
    ScratchDir dir("openonce");
    makeUnit(dir.path);
    auto first = open(dir.path);
    ASSERT_TRUE(first);
    std::string error;
    EXPECT_FALSE(vunit::openUnitFromFolder(dir.path, error));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    first.reset();
    EXPECT_TRUE(open(dir.path));

    EXPECT_FALSE(vunit::openUnitFromFolder(dir / "none", error));
    EXPECT_NE(error.find("no virtual unit"), std::string::npos) << error;
}

TEST(OpenedUnit, FaultsWaitingInTheFolderFireOnceOpened) {
    ScratchDir dir("openfault");
    makeUnit(dir.path);
    vunit::appendFault(dir.path, "wrong-code");
    auto opened = open(dir.path);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(vunit::pendingFaults(dir.path).empty());
    hosttest::Host h = poweredHost(*opened);
    EXPECT_EQ(hosttest::transact(h, {0x09, 0, 2}), (Bytes{0xEE, 0x00, 0x81}));
    EXPECT_EQ(hosttest::transact(h, {0x09, 0, 2}), (Bytes{0x07, 0x00, 0x81}));

    // Armed while the unit is open: reaches it when the host polls.
    vunit::appendFault(dir.path, "drop-response");
    std::string error;
    ASSERT_TRUE(vunit::armPendingFaults(*opened, error)) << error;
    EXPECT_FALSE(hosttest::transact(h, {0x09, 0, 2}, 100));
    EXPECT_EQ(hosttest::transact(h, {0x09, 0, 2}), (Bytes{0x07, 0x00, 0x81}));
}

TEST(OpenedUnit, AnUnknownFaultFailsTheOpenAndStaysWaiting) {
    ScratchDir dir("openbadfault");
    makeUnit(dir.path);
    vunit::appendFault(dir.path, "drop-response");
    vunit::appendFault(dir.path, "explode");
    std::string error;
    EXPECT_FALSE(vunit::openUnitFromFolder(dir.path, error));
    EXPECT_NE(error.find("explode"), std::string::npos) << error;
    EXPECT_EQ(vunit::pendingFaults(dir.path).size(), 2u);
    // The failed open let go of the folder.
    EXPECT_TRUE(vunit::tryLockUnitFolder(dir.path).held());
}

} // namespace
