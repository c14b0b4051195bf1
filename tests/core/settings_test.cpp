// The Configure page's settings: what it shows, what it takes back, and
// the EEPROM write of Apply on virtual units.
#include "core_support.h"
#include "unitlink.h"
#include "unitsettings.h"

#include <algorithm>

using namespace coretest;

namespace {

UnitState configurable(uint16_t family = 0x8100) {
    UnitState s;
    s.eeFamily = family;
    s.unitConfigurable = (family >> 8) >= 0x81 && (family >> 8) <= 0x83;
    s.codedLayout = (family >> 8) == 0x82;
    return s;
}

TEST(ConfigureView, ShowsTheCachedSettings) {
    UnitState s = configurable();
    s.volume = 1;
    s.batterySaverSeconds = 150;
    testing::internal::CaptureStdout();
    ConfigureView v = configureView(s, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "vol 1\n");
    EXPECT_TRUE(v.volumeEnabled);
    EXPECT_TRUE(v.minutesEnabled);
    EXPECT_EQ(v.markedVolume, 1);
    EXPECT_EQ(v.minutes, "2"); // whole minutes, the rest dropped

    s.volume = 7;
    testing::internal::CaptureStdout();
    v = configureView(s, true);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(v.markedVolume, -1);
}

TEST(ConfigureView, CodedUnitsKeepTheirBatterySaverAndOthersAreDisabled) {
    testing::internal::CaptureStdout();
    ConfigureView v = configureView(configurable(0x8205), true);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(v.volumeEnabled);
    EXPECT_FALSE(v.minutesEnabled);
    for (const UnitState& s : {configurable(0x8400), configurable(0x80FF)}) {
        v = configureView(s, true);
        EXPECT_FALSE(v.volumeEnabled);
        EXPECT_FALSE(v.minutesEnabled);
    }
    v = configureView(configurable(), false);
    EXPECT_FALSE(v.volumeEnabled);
}

TEST(ConfigureChoice, MinutesClampedAndStoredInSeconds) {
    const std::pair<const char*, int> cases[] = {{"", 120},      {"abc", 120},   {"0", 120},     {"1", 120},
                                                 {"2", 120},     {"30", 1800},   {"1080", 64800}, {"1081", 64800},
                                                 {"1500", 64800}, {"-5", 120},    {"12x", 120},   {"99999999999", 120}};
    for (const auto& [text, seconds] : cases) {
        UnitState s;
        readConfigureChoice(s, false, false, true, text);
        EXPECT_EQ(s.batterySaverSeconds, seconds) << text;
    }
}

TEST(ConfigureChoice, TheLastMarkedVolumeWins) {
    UnitState s;
    s.volume = 2;
    readConfigureChoice(s, false, false, false, "30");
    EXPECT_EQ(s.volume, 0);
    readConfigureChoice(s, false, true, true, "30");
    EXPECT_EQ(s.volume, 2);
    readConfigureChoice(s, true, true, false, "30");
    EXPECT_EQ(s.volume, 1);
}

class SettingsWrite : public ::testing::Test {
protected:
    void SetUp() override { useFastWaits(); }

    // A stock unit whose EEPROM has the kept values set, refreshed.
    void start(uint8_t byte37 = 0, uint8_t byte81 = 0xC3) {
        auto d = stockUnit();
        d.logFiles = false;
        vunit::Storage storage = vfactory::buildUnit(d);
        storage.eeprom[37] = byte37;
        storage.eeprom[81] = byte81;
        storage.eeprom[89] = 0x34;
        storage.eeprom[90] = 0x12;
        storage.eeprom[91] = 0x5A;
        plugged = testunits::plugUnit(d, storage);
        open = std::make_unique<OpenUnit>();
        RecordingDialog dialog;
        ASSERT_TRUE(runUnitRefresh(open->handle, state, dialog.link()));
    }
    std::array<uint8_t, vunit::kEepromSize> eeprom() {
        open.reset(); // the folder is saved when the unit closes
        return testunits::storedState(*plugged).eeprom;
    }

    std::unique_ptr<testunits::Plugged> plugged;
    std::unique_ptr<OpenUnit> open;
    UnitState state;
};

TEST_F(SettingsWrite, WritesInOrderWithTheTraceLines) {
    start();
    const auto before = testunits::storedState(*plugged).eeprom;
    readConfigureChoice(state, false, false, true, "1500");
    state.keptFlag2 = true;
    state.keptFlag5Clear = false;
    RecordingDialog dialog;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(runSettingsDialog(open->handle, state, dialog.link()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Writing 00000000 to 37\n"
                                                      "Writing 00000002 to 6 (volume)\n"
                                                      "Writing 000000E7 to 81\n"
                                                      "Writing 0000005A to 91\n"
                                                      "Writing 00001234 to 89\n"
                                                      "Writing 0000FD20 to 45\n");
    EXPECT_EQ(dialog.statuses(), (std::vector<std::string>{"Retrieving status...", "Reading EEPROM...",
                                                           "Writing EEPROM...", "Complete"}));
    EXPECT_EQ(dialog.endResult(), 0);
    const auto after = eeprom();
    EXPECT_EQ(after[6], 2);
    EXPECT_EQ(after[45], 0x20);
    EXPECT_EQ(after[46], 0xFD);
    EXPECT_EQ(after[81], 0xE7); // bits 2 and 5 set, the unit's other bits kept
    for (int a : {0, 1, 2, 3, 4, 5, 89, 90, 91, 100}) EXPECT_EQ(after[a], before[a]) << a;
}

TEST_F(SettingsWrite, KeptOptionGetsItsDefaultWhenFoundOff) {
    start(0);
    state.keptOption37 = true;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(runSettingsDialog(open->handle, state, RecordingDialog().link()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(eeprom()[37], 31);
}

TEST_F(SettingsWrite, KeptOptionOffIsWrittenAsZero) {
    start(9);
    state.keptOption37 = false;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(runSettingsDialog(open->handle, state, RecordingDialog().link()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(eeprom()[37], 0);
}

TEST_F(SettingsWrite, ShownMinutesAreWrittenBackWhole) {
    start();
    state.batterySaverSeconds = 150;
    testing::internal::CaptureStdout();
    const ConfigureView view = configureView(state, true);
    testing::internal::GetCapturedStdout();
    readConfigureChoice(state, false, true, false, view.minutes);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(runSettingsDialog(open->handle, state, RecordingDialog().link()));
    testing::internal::GetCapturedStdout();
    const auto after = eeprom();
    EXPECT_EQ(after[45] | after[46] << 8, 120);
}

TEST_F(SettingsWrite, EepromReadFailureWritesNothing) {
    start();
    const auto before = testunits::storedState(*plugged).eeprom;
    state.volume = 2;
    RecordingDialog dialog;
    dialog.onStatus = [&](const std::string& text) {
        if (text == "Reading EEPROM...") armNow(*plugged, "drop-response");
    };
    testing::internal::CaptureStdout();
    EXPECT_FALSE(runSettingsDialog(open->handle, state, dialog.link()));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(dialog.boxes(), (std::vector<std::string>{std::string("Error|error|") + kCommunicationErrorText}));
    EXPECT_EQ(open->handle, -1);
    EXPECT_TRUE(eeprom() == before);
}

// Cut off after any number of reports into the writes: what reached the
// unit is always the writes before the failure, in order, never one after.
TEST_F(SettingsWrite, AFailedWriteStopsTheOnesAfterIt) {
    const int addresses[] = {37, 6, 81, 91, 89, 45};
    bool sawPartial = false;
    for (int reports = 1; reports <= 40; ++reports) {
        start(9, 0x00);
        const auto before = testunits::storedState(*plugged).eeprom;
        state.keptOption37 = false;     // 37: 9 -> 0
        state.volume = 2;               // 6: 1 -> 2
        state.keptFlag2 = true;         // 81: 0 -> 4 (bit 5 set, too: kept flag 5 not clear)
        state.keptByte91 = 0x66;        // 91
        state.keptWord89 = 0x4321;      // 89
        state.batterySaverSeconds = 600; // 45
        RecordingDialog dialog;
        dialog.onStatus = [&](const std::string& text) {
            if (text == "Writing EEPROM...") armNow(*plugged, "unplug-after:" + std::to_string(reports));
        };
        testing::internal::CaptureStdout();
        const bool ok = runSettingsDialog(open->handle, state, dialog.link());
        testing::internal::GetCapturedStdout();
        const int handle = open->handle;
        const auto after = eeprom();
        int written = 0;
        while (written < 6 && after[addresses[written]] != before[addresses[written]]) ++written;
        for (int i = written + 1; i < 6; ++i)
            EXPECT_EQ(after[addresses[i]], before[addresses[i]]) << "write " << i << " after a failure, " << reports;
        if (ok) {
            EXPECT_EQ(written, 6) << reports;
            break;
        }
        EXPECT_EQ(handle, -1);
        sawPartial = sawPartial || (written > 0 && written < 6);
    }
    EXPECT_TRUE(sawPartial);
}

} // namespace
