// The unit refresh and what it derives, and the Summary page's texts.
#include "core_support.h"
#include "summarytexts.h"
#include "unitlink.h"

using namespace coretest;

namespace {

UnitState stateOf(uint16_t family, uint16_t cpuId, uint8_t major, uint8_t minor) {
    UnitState s;
    uint8_t ee[kEepromBytesRead] = {};
    ee[0] = static_cast<uint8_t>(family);
    ee[1] = static_cast<uint8_t>(family >> 8);
    s.cpuId = cpuId;
    s.cpuVersionMajor = major;
    s.cpuVersionMinor = minor;
    decodeEeprom(ee, s);
    return s;
}

TEST(UnitStateRules, FamilyWordDecidesConfigurableAndLayout) {
    EXPECT_FALSE(stateOf(0x8400, 0x1087, 1, 29).unitConfigurable);
    EXPECT_FALSE(stateOf(0x80FF, 0x1087, 1, 29).unitConfigurable);
    EXPECT_TRUE(stateOf(0x8100, 0x1087, 1, 29).unitConfigurable);
    EXPECT_TRUE(stateOf(0x83FF, 0x1087, 1, 29).unitConfigurable);
    const UnitState coded = stateOf(0x8211, 0x1087, 1, 29);
    EXPECT_TRUE(coded.codedLayout);
    EXPECT_FALSE(coded.groupedLayout);
    EXPECT_TRUE(stateOf(0x8210, 0x1087, 1, 29).groupedLayout);
    EXPECT_FALSE(stateOf(0x8310, 0x1087, 1, 29).codedLayout);
}

TEST(UnitStateRules, LoggingCapableByChipAndFirmware) {
    EXPECT_TRUE(stateOf(0x8100, 0x108A, 1, 29).loggingCapable);
    EXPECT_FALSE(stateOf(0x8100, 0x108A, 1, 28).loggingCapable);
    EXPECT_TRUE(stateOf(0x8100, 0x108A, 2, 0).loggingCapable);
    EXPECT_TRUE(stateOf(0x8100, 0x0C45, 1, 29).loggingCapable);
    EXPECT_FALSE(stateOf(0x8100, 0x0C45, 1, 28).loggingCapable);
    EXPECT_FALSE(stateOf(0x8100, 0x1090, 30, 99).loggingCapable);
    EXPECT_TRUE(stateOf(0x8100, 0x1090, 31, 0).loggingCapable);
    EXPECT_FALSE(stateOf(0x8400, 0x108A, 2, 0).loggingCapable); // not configurable
}

TEST(UnitStateRules, EepromFieldsLittleEndianAndFlagBits) {
    uint8_t ee[kEepromBytesRead] = {};
    ee[0] = 0x10;
    ee[1] = 0x82;
    ee[2] = 0x78;
    ee[3] = 0x56;
    ee[4] = 0x34;
    ee[5] = 0x12;
    ee[6] = 2;
    ee[37] = 5;
    ee[45] = 0x20;
    ee[46] = 0xFD;
    ee[81] = 0x04 | 0x10 | 0x20 | 0x01;
    ee[89] = 0x34;
    ee[90] = 0x12;
    ee[91] = 0x77;
    UnitState s;
    decodeEeprom(ee, s);
    EXPECT_EQ(s.eeFamily, 0x8210);
    EXPECT_EQ(s.serialNumber, 0x12345678u);
    EXPECT_EQ(s.volume, 2);
    EXPECT_TRUE(s.keptOption37);
    EXPECT_EQ(s.batterySaverSeconds, 64800);
    EXPECT_TRUE(s.keptFlag2);
    EXPECT_FALSE(s.keptFlag3);
    EXPECT_TRUE(s.keptFlag4);
    EXPECT_FALSE(s.keptFlag5Clear);
    EXPECT_EQ(s.keptWord89, 0x1234);
    EXPECT_EQ(s.keptByte91, 0x77);
}

TEST(UnitStateRules, LogCountWrapsButBytesDoNot) {
    std::vector<_direntry> entries;
    for (unsigned i = 0; i < 300; ++i) entries.push_back({0, 0x60, 1280 + i, 1000});
    entries.push_back({0, 0x14, 1, 500});
    UnitState s;
    tallyDirectory(entries.data(), static_cast<int>(entries.size()), s);
    EXPECT_EQ(s.logCount, 44);
    EXPECT_EQ(s.logBytes, 300000u);
    EXPECT_EQ(s.otherBytes, 500u);
}

TEST(UnitStateRules, EverySectorPresentStillCounts) {
    uint8_t map[256];
    for (auto& m : map) m = 1;
    EXPECT_EQ(countUsableSectors(map, 256), 256);
    map[3] = 0;
    EXPECT_EQ(countUsableSectors(map, 32), 31);
    EXPECT_EQ(countUsableSectors(map, 2), 2); // only the first sectorCount entries
}

TEST(SummaryTexts, FormatsOfEveryField) {
    UnitState s;
    s.serialNumber = 42;
    s.cpuId = 0x0C41;
    s.usbVersionMajor = 1;
    s.usbVersionMinor = 5;
    s.cpuVersionMajor = 2;
    s.cpuVersionMinor = 31;
    s.logCount = 3;
    s.logBytes = 1000;
    s.otherBytes = 500;
    s.loggingCapable = true;
    SummaryTexts t = summaryTexts(s, true);
    EXPECT_EQ(t.serialNumber, "00042");
    EXPECT_EQ(t.cpu, "0C41");
    EXPECT_EQ(t.versions, "USB 1.05  CPU 2.31");
    EXPECT_EQ(t.logs, "3 files and 1000 bytes");
    EXPECT_EQ(t.bytesUsed, "01500");
    EXPECT_EQ(t.loggingCapable, "Yes");
    EXPECT_EQ(t.customerMark, "");
    EXPECT_EQ(t.versionLabel, "Version 3.5");
    s.serialNumber = 123456;
    s.cpuId = 0x1083;
    s.groupedLayout = true;
    t = summaryTexts(s, true);
    EXPECT_EQ(t.serialNumber, "123456");
    EXPECT_EQ(t.cpu, "1083");
    EXPECT_EQ(t.customerMark, "for Quillmere");
}

TEST(SummaryTexts, DisconnectedForm) {
    UnitState s;
    s.serialNumber = 42;
    const SummaryTexts t = summaryTexts(s, false);
    for (const std::string* none : {&t.versions, &t.cpu, &t.serialNumber, &t.bytesUsed, &t.logs}) EXPECT_EQ(*none, "None");
    EXPECT_EQ(t.loggingCapable, "No");
    EXPECT_EQ(t.customerMark, "");
    EXPECT_EQ(t.versionLabel, "Version 3.5");
}

TEST(SummaryTexts, VersionLabelFromFileVersion) {
    EXPECT_EQ(versionLabel("3, 0, 0, 5"), "Version 3.5");
    EXPECT_EQ(versionLabel("3, 0, 0, 12"), "Version 3.12");
    EXPECT_EQ(versionLabel("3, 0, 0,"), "");
    EXPECT_EQ(versionLabel(nullptr), "");
}

class Refresh : public ::testing::Test {
protected:
    void SetUp() override { useFastWaits(); }
};

TEST_F(Refresh, ReadsEverythingFromAnUnpoweredUnit) {
    auto d = stockUnit();
    d.eeprom.volume = 2;
    d.eeprom.batterySaverSeconds = 150;
    auto plugged = plugWithLogs(d, std::vector<uint8_t>(3000, 0x11));
    OpenUnit open;
    ASSERT_GE(open.handle, 0);
    RecordingDialog dialog;
    UnitState state;
    EXPECT_TRUE(runUnitRefresh(open.handle, state, dialog.link()));
    EXPECT_EQ(dialog.events(),
              (std::vector<std::string>{"range 6", "position 0", "position 1", "status Retrieving status...",
                                        "position 2", "status Powering on...", "position 3", "position 3",
                                        "status Reading directory...", "position 4", "status Reading EEPROM...",
                                        "position 5", "status Complete!", "position 6", "end 0"}));
    EXPECT_EQ(state.usbVersionMajor, d.identity.usbMajor);
    EXPECT_EQ(state.usbVersionMinor, d.identity.usbMinor);
    EXPECT_EQ(state.cpuVersionMajor, 1);
    EXPECT_EQ(state.cpuVersionMinor, 29);
    EXPECT_EQ(state.cpuId, 0x1087);
    EXPECT_EQ(state.usableSectorCount, 32);
    EXPECT_NE(state.sectorMap[31], 0);
    EXPECT_EQ(state.sectorMap[32], 0);
    EXPECT_EQ(state.logCount, 8);
    EXPECT_EQ(state.logBytes, 481800u);
    EXPECT_EQ(state.otherBytes, 20000u);
    EXPECT_EQ(state.eeFamily, 0x8100);
    EXPECT_EQ(state.serialNumber, 42u);
    EXPECT_EQ(state.volume, 2);
    EXPECT_EQ(state.batterySaverSeconds, 150);
    EXPECT_TRUE(state.unitConfigurable);
    EXPECT_TRUE(state.loggingCapable);
    EXPECT_GE(open.handle, 0);

    // Powered now: no power-on the second time.
    RecordingDialog again;
    EXPECT_TRUE(runUnitRefresh(open.handle, state, again.link()));
    EXPECT_EQ(again.statuses(), (std::vector<std::string>{"Retrieving status...", "Reading directory...",
                                                          "Reading EEPROM...", "Complete!"}));
}

TEST_F(Refresh, NoUnitOpenClosesAtOnce) {
    std::atomic<int> none{-1};
    RecordingDialog dialog;
    UnitState state;
    state.serialNumber = 7;
    EXPECT_FALSE(runUnitRefresh(none, state, dialog.link()));
    EXPECT_EQ(dialog.events(), (std::vector<std::string>{"range 6", "position 0", "position 6", "end 0"}));
    EXPECT_EQ(state.serialNumber, 7u);
}

struct FailureRow {
    const char* name;
    const char* armedAt; // status line that arms the fault
    const char* fault;
    bool powered;        // refreshed once before, so no power-on
};

class RefreshFailure : public Refresh, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(RefreshFailure, ReportsClosesAndKeepsWhatWasRead) {
    const FailureRow row = GetParam();
    auto plugged = plugWithLogs(stockUnit(), std::vector<uint8_t>(100, 0x11));
    OpenUnit open;
    UnitState state;
    if (row.powered) {
        RecordingDialog first;
        ASSERT_TRUE(runUnitRefresh(open.handle, state, first.link()));
    }
    state = UnitState{};
    RecordingDialog dialog;
    dialog.onStatus = [&](const std::string& text) {
        if (text == row.armedAt) armNow(*plugged, row.fault);
    };
    EXPECT_FALSE(runUnitRefresh(open.handle, state, dialog.link()));
    EXPECT_EQ(dialog.boxes(), (std::vector<std::string>{std::string("Error|error|") + kCommunicationErrorText}));
    EXPECT_EQ(open.handle, -1);
    EXPECT_EQ(dialog.endResult(), 0);
    EXPECT_TRUE(reopens(*plugged)) << "the failed unit still holds its slot or device";
    EXPECT_EQ(state.usbVersionMajor, 1); // read before every failure
    if (std::string(row.armedAt) == "Reading EEPROM...") {
        EXPECT_EQ(state.logCount, 8);
        EXPECT_EQ(state.serialNumber, 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefreshFailure,
    ::testing::Values(FailureRow{"VersionRead", "Retrieving status...", "wrong-code", true},
                      FailureRow{"DirectoryRead", "Reading directory...", "drop-response", false},
                      FailureRow{"EepromRead", "Reading EEPROM...", "drop-response", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Refresh, UnitWithoutDirectoryIsACommunicationFailure) {
    auto d = stockUnit();
    d.directory = false;
    d.logFiles = false;
    d.items.clear();
    auto plugged = testunits::plugUnit(d, vfactory::buildUnit(d));
    OpenUnit open;
    RecordingDialog dialog;
    UnitState state;
    EXPECT_FALSE(runUnitRefresh(open.handle, state, dialog.link()));
    EXPECT_EQ(dialog.boxes().size(), 1u);
    EXPECT_EQ(open.handle, -1);
}

TEST_F(Refresh, PulledOutAtEveryStep) {
    for (const char* step : {"Retrieving status...", "Powering on...", "Reading directory...", "Reading EEPROM..."}) {
        auto plugged = plugWithLogs(stockUnit(vunit::Kind::Packet), {});
        OpenUnit open;
        RecordingDialog dialog;
        dialog.onStatus = [&](const std::string& text) {
            if (text == step) armNow(*plugged, "unplug-after:1");
        };
        UnitState state;
        EXPECT_FALSE(runUnitRefresh(open.handle, state, dialog.link())) << step;
        EXPECT_EQ(open.handle, -1) << step;
        EXPECT_EQ(dialog.boxes().size(), 1u) << step;
        EXPECT_EQ(dialog.endResult(), 0) << step;
    }
}

} // namespace
