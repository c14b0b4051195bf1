// Faults armed in a folder wait in order, are taken once, and a rejected
// one loses nothing.
#include "scratch_dir.h"

#include "vfactory/layout.h"
#include "vstore/armed_faults.h"
#include "vstore/folder.h"

#include <gtest/gtest.h>

namespace {

using Specs = std::vector<std::string>;

void makeStockUnit(const std::filesystem::path& dir) {
    const vfactory::UnitDescription d = vfactory::defaultDescription();
    vunit::createUnitFolder(dir, d.identity, vfactory::buildUnit(d));
}

TEST(ArmedFaults, WaitInOrderAndAreTakenOnce) {
    ScratchDir dir("faults");
    makeStockUnit(dir.path);
    EXPECT_TRUE(vunit::takeFaults(dir.path).empty());
    vunit::appendFault(dir.path, "drop-response");
    vunit::appendFault(dir.path, "late-response:7000, wrong-code");
    EXPECT_EQ(vunit::pendingFaults(dir.path), (Specs{"drop-response", "late-response:7000, wrong-code"}));
    EXPECT_EQ(vunit::loadUnitFolder(dir.path).faults, vunit::pendingFaults(dir.path));
    EXPECT_EQ(vunit::takeFaults(dir.path), (Specs{"drop-response", "late-response:7000, wrong-code"}));
    EXPECT_TRUE(vunit::takeFaults(dir.path).empty());
    EXPECT_TRUE(vunit::pendingFaults(dir.path).empty());
}

TEST(ArmedFaults, ARejectedSpecKeepsEveryFaultWaiting) {
    ScratchDir dir("faultsreject");
    makeStockUnit(dir.path);
    vunit::appendFault(dir.path, "garbage");
    vunit::appendFault(dir.path, "nonsense");
    Specs seen;
    const Specs taken = vunit::takeFaults(dir.path, [&](const std::string& s) {
        seen.push_back(s);
        return s != "nonsense";
    });
    EXPECT_TRUE(taken.empty());
    EXPECT_EQ(seen, (Specs{"garbage", "nonsense"}));
    EXPECT_EQ(vunit::pendingFaults(dir.path), (Specs{"garbage", "nonsense"}));
}

TEST(ArmedFaults, OnlyOneLineSpecsForARealUnit) {
    ScratchDir dir("faultsbad");
    EXPECT_THROW(vunit::appendFault(dir.path, "drop-response"), std::runtime_error); // no unit here
    makeStockUnit(dir.path);
    EXPECT_THROW(vunit::appendFault(dir.path, ""), std::runtime_error);
    EXPECT_THROW(vunit::appendFault(dir.path, "drop-response\nwrong-code"), std::runtime_error);
    EXPECT_TRUE(vunit::pendingFaults(dir.path).empty());
}

} // namespace
