// The log-space plan, and the preparation worker on virtual units.
#include "core_support.h"
#include "logspaceworker.h"
#include "unitlink.h"
#include "vfactory/layout.h"

#include <random>
#include <thread>

using namespace coretest;

namespace {

std::array<uint8_t, 256> presentSectors(int n) {
    std::array<uint8_t, 256> map{};
    for (int s = 0; s < n; ++s) map[static_cast<size_t>(s)] = 1;
    return map;
}

LogSpacePlan plan(const std::array<uint8_t, 256>& map, const std::vector<_direntry>& entries) {
    unsigned usable = 0;
    for (const uint8_t m : map) usable += m ? 1 : 0;
    return planLogSpace(map.data(), usable, entries.data(), static_cast<int>(entries.size()));
}

TEST(LogSpacePlan, ThirtyTwoSectorsWithSoundsInSectorZero) {
    const LogSpacePlan p = plan(presentSectors(32), {{0, 0x14, 1, 5000}, {5000, 0x14, 2, 7000}, {12000, 0x14, 3, 8000}});
    EXPECT_EQ(p.reserve, 40960u);
    EXPECT_EQ(p.cap, 522760u);
    EXPECT_EQ(p.sizes, (std::vector<uint16_t>{42975, 62975, 62975, 62975, 62975, 62975, 62975, 60975}));
    EXPECT_EQ(p.sectors, (std::vector<int>{0, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(p.bytes(), 481800u);
    EXPECT_EQ(p.total, 40960);
}

TEST(LogSpacePlan, EmptySectorsUpToTheCap) {
    const LogSpacePlan p = plan(presentSectors(32), {});
    EXPECT_EQ(p.sectors.front(), 1); // the first empty one is passed over
    EXPECT_EQ(p.sizes, (std::vector<uint16_t>{62975, 62975, 62975, 62975, 62975, 62975, 62975, 40975}));
    EXPECT_EQ(p.bytes(), 481800u);
}

TEST(LogSpacePlan, SmallRoomAndSmallUnits) {
    // 65535 - 62846 = 2689 bytes free: a 129-byte file; one byte less, none.
    EXPECT_EQ(plan(presentSectors(32), {{0, 0x14, 1, 62846}}).sizes.front(), 129);
    EXPECT_EQ(plan(presentSectors(32), {{0, 0x14, 1, 62847}}).sectors.front(), 2);
    // Less than the reserve left above the items: nothing, however the
    // sectors' own room looks.
    const LogSpacePlan none =
        plan(presentSectors(4), {{0, 0x14, 1, 60000}, {1u << 16, 0x14, 2, 60000}, {2u << 16, 0x14, 3, 60000}});
    EXPECT_TRUE(none.sizes.empty());
    EXPECT_EQ(none.bytes(), 0u);
}

TEST(LogSpacePlan, AbsentSectorsAndSectorsFromTwoHundredFiftyFive) {
    auto map = presentSectors(32);
    map[3] = 0;
    const LogSpacePlan p = plan(map, {{0, 0x14, 1, 1000}});
    for (const int s : p.sectors) EXPECT_NE(s, 3);
    // Items in sector 255 and up are left out of the free space.
    map = presentSectors(0);
    map[0] = map[255] = 1;
    map[254] = 1;
    const LogSpacePlan high = plan(map, {{255u << 16, 0x14, 1, 30000}, {254u << 16, 0x14, 2, 30000}});
    EXPECT_EQ(high.sectors, (std::vector<int>{254, 255}));
}

// The virtual unit's factory lays out log files by the same rules, written
// separately: both must agree on any directory.
TEST(LogSpacePlan, AgreesWithTheFactoryOnRandomUnits) {
    std::mt19937 random(12);
    for (int round = 0; round < 300; ++round) {
        const int sectors = 4 << (random() % 4);
        auto map = presentSectors(sectors);
        std::array<uint8_t, vunit::kMaxSectors> factoryMap{};
        for (int s = 0; s < 256; ++s) factoryMap[static_cast<size_t>(s)] = map[static_cast<size_t>(s)];
        std::vector<_direntry> entries;
        std::vector<vfactory::DirEntry> factoryEntries;
        const int items = static_cast<int>(random() % 12);
        for (int i = 0; i < items; ++i) {
            const auto sector = static_cast<unsigned>(random() % static_cast<unsigned>(sectors));
            const auto size = static_cast<uint16_t>(random() % 40000);
            entries.push_back({sector << 16, 0x14, static_cast<unsigned>(i + 1), size});
            factoryEntries.push_back({sector << 16, 0x14, static_cast<uint32_t>(i + 1), size});
        }
        const LogSpacePlan ours = plan(map, entries);
        const auto theirs = vfactory::planLogFiles(factoryMap, sectors, factoryEntries);
        ASSERT_EQ(ours.sizes.size(), theirs.size()) << "round " << round;
        for (size_t k = 0; k < theirs.size(); ++k) {
            EXPECT_EQ(ours.sizes[k], theirs[k].size) << "round " << round << " file " << k;
            EXPECT_EQ(ours.sectors[k], theirs[k].sector) << "round " << round << " file " << k;
        }
    }
}

class LogSpace : public ::testing::Test {
protected:
    void SetUp() override { useFastWaits(); }
    void TearDown() override { open.reset(); }

    void plug(const vfactory::UnitDescription& d, const std::vector<uint8_t>& logged = {}) {
        description = d;
        plugged = plugWithLogs(d, logged);
        open = std::make_unique<OpenUnit>();
        RecordingDialog refresh;
        ASSERT_TRUE(runUnitRefresh(open->handle, state, refresh.link()));
    }
    LogSpaceReport run(RecordingDialog& dialog, const UnitState& planned) {
        LogSpaceDialog clear(LogSpaceValues{open->handle, statusMessage}, planned, dialog.link());
        EXPECT_TRUE(clear.waitUntilFinished(std::chrono::seconds(120)));
        return clear.report();
    }
    LogSpaceReport run(RecordingDialog& dialog) { return run(dialog, state); }
    vunit::Storage stored() {
        open.reset(); // saved as the unit closes
        return testunits::storedState(*plugged);
    }
    std::vector<vfactory::DirEntry> entriesOf(const vunit::Storage& s) {
        auto d = vfactory::readDirectory(s, description.identity);
        return d ? d->entries : std::vector<vfactory::DirEntry>{};
    }
    std::vector<uint8_t> bytesOf(const vunit::Storage& s, const vfactory::DirEntry& e) {
        const auto& sector = s.sectors[e.address >> 16];
        return {sector.begin() + (e.address & 0xFFFF), sector.begin() + (e.address & 0xFFFF) + e.size};
    }

    std::string statusMessage = "Download:";
    vfactory::UnitDescription description;
    std::unique_ptr<testunits::Plugged> plugged;
    std::unique_ptr<OpenUnit> open;
    UnitState state;
};

TEST_F(LogSpace, ClearsAndLaysOutThePlannedFiles) {
    plug(stockUnit(), std::vector<uint8_t>(200000, 0x21));
    const vunit::Storage before = testunits::storedState(*plugged);
    RecordingDialog dialog;
    const LogSpaceReport report = run(dialog);
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(report.restarted);
    EXPECT_EQ(report.written, 8);
    std::vector<std::string> statuses = {"Entering download mode...", "Clearing out old logs..."};
    for (int k = 1; k <= 8; ++k) statuses.push_back("Writing file " + std::to_string(k) + " of 8...");
    statuses.insert(statuses.end(), {"Restarting Bexo...", "Complete!"});
    EXPECT_EQ(dialog.statuses(), statuses);
    const auto events = dialog.events();
    EXPECT_EQ(std::vector<std::string>(events.begin(), events.begin() + 4),
              (std::vector<std::string>{"range 6", "position 0", "range 20", "position 1"}));
    EXPECT_EQ(events.back(), "end 1");
    EXPECT_EQ(statusMessage, "Download:\n481800 bytes available for new logs.");

    const vunit::Storage after = stored();
    auto entries = entriesOf(after);
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    std::vector<uint16_t> sizes;
    unsigned id = 1280;
    for (const auto& e : entries) {
        if (e.type != 0x60) continue;
        EXPECT_EQ(e.id, id++);
        sizes.push_back(e.size);
        const auto bytes = bytesOf(after, e);
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; })) << e.id;
    }
    EXPECT_EQ(sizes, (std::vector<uint16_t>{42975, 62975, 62975, 62975, 62975, 62975, 62975, 60975}));
    // Every other item as it was.
    for (const auto& e : entriesOf(before)) {
        if (e.type == 0x60) continue;
        bool found = false;
        for (const auto& f : entries)
            if (f.type == e.type && f.id == e.id) {
                found = true;
                EXPECT_EQ(bytesOf(after, f), bytesOf(before, e)) << e.id;
            }
        EXPECT_TRUE(found) << e.id;
    }
    // And the refresh after it sees them.
    UnitState again;
    open = std::make_unique<OpenUnit>();
    ASSERT_TRUE(runUnitRefresh(open->handle, again, RecordingDialog().link()));
    EXPECT_EQ(again.logCount, 8);
    EXPECT_EQ(again.logBytes, 481800u);
}

TEST_F(LogSpace, NothingPlannedStillRestarts) {
    vfactory::UnitDescription d = stockUnit();
    d.identity.chipCode = 17; // 4 sectors
    d.logFiles = false;
    d.items = {{0x14, 1, std::vector<uint8_t>(60000, 1), 0},
               {0x14, 2, std::vector<uint8_t>(60000, 2), 1},
               {0x14, 3, std::vector<uint8_t>(60000, 3), 2}};
    plug(d);
    RecordingDialog dialog;
    const LogSpaceReport report = run(dialog);
    EXPECT_EQ(report.planned, 0);
    EXPECT_TRUE(report.restarted);
    EXPECT_EQ(statusMessage, "Download:\n0 bytes available for new logs.");
}

TEST_F(LogSpace, NoRoomForAFileWarnsAndKeepsWhatWasWritten) {
    // A plan made for more sectors than the unit has (the refresh's map
    // said 32; this unit has 4): the library finds no room for the fifth.
    vfactory::UnitDescription d = stockUnit();
    d.identity.chipCode = 17;
    d.items.clear();
    d.logFiles = false;
    plug(d);
    UnitState stale = state;
    for (int s = 0; s < 32; ++s) stale.sectorMap[s] = 1;
    stale.usableSectorCount = 32;
    RecordingDialog dialog;
    const LogSpaceReport report = run(dialog, stale);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.errorCode, kNoRoomError);
    EXPECT_FALSE(report.restarted);
    EXPECT_EQ(dialog.boxes(), (std::vector<std::string>{std::string("Error|error|") + kNotEnoughRoomText}));
    EXPECT_EQ(statusMessage, "Download:");
    EXPECT_GE(open->handle, 0);
    const int written = report.written;
    EXPECT_GT(written, 0);
    int files = 0;
    for (const auto& e : entriesOf(stored())) files += e.type == 0x60 ? 1 : 0;
    EXPECT_EQ(files, written);
}

TEST_F(LogSpace, UnitWithoutADirectorySaysSo) {
    vfactory::UnitDescription d = stockUnit();
    plug(d);
    const UnitState refreshed = state;
    open.reset();
    plugged.reset();
    d.directory = false;
    d.items.clear();
    d.logFiles = false;
    plugged = testunits::plugUnit(d, vfactory::buildUnit(d));
    open = std::make_unique<OpenUnit>();
    ZELPowerOn(open->handle);
    RecordingDialog dialog;
    const vunit::Storage before = testunits::storedState(*plugged);
    const LogSpaceReport report = run(dialog, refreshed);
    EXPECT_TRUE(report.noDirectory);
    EXPECT_EQ(dialog.boxes(), (std::vector<std::string>{std::string("Error|error|") + kNoDirectoryText}));
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.written, 0);
    EXPECT_EQ(statusMessage, "Download:");
    EXPECT_TRUE(stored().sectors == before.sectors); // no directory made, nothing erased
}

TEST_F(LogSpace, PulledOutAtEveryStep) {
    const char* steps[] = {"Entering download mode...", "Clearing out old logs...", "Writing file 2 of 8...",
                           "Restarting Bexo..."};
    for (const char* step : steps) {
        plug(stockUnit());
        statusMessage = "Download:";
        RecordingDialog dialog;
        dialog.onStatus = [&](const std::string& text) {
            if (text == step) armNow(*plugged, "unplug-after:1");
        };
        const LogSpaceReport report = run(dialog);
        EXPECT_FALSE(report.restarted) << step;
        EXPECT_EQ(statusMessage, "Download:") << step;
        EXPECT_EQ(dialog.boxes(), (std::vector<std::string>{std::string("Error|error|") + kCommunicationErrorText}))
            << step;
        EXPECT_EQ(open->handle, -1) << step;
        open.reset();
    }
}

TEST_F(LogSpace, StopFinishesTheFileUnderWayAndRestarts) {
    plug(stockUnit());
    RecordingDialog dialog;
    std::optional<LogSpaceDialog> clear;
    std::atomic<bool> third{false};
    dialog.onStatus = [&](const std::string& text) {
        if (text == "Writing file 3 of 8...") third = true;
    };
    clear.emplace(LogSpaceValues{open->handle, statusMessage}, state, dialog.link());
    while (!third) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    clear->stop();
    ASSERT_TRUE(clear->waitUntilFinished(std::chrono::seconds(60)));
    const LogSpaceReport report = clear->report();
    clear.reset();
    EXPECT_TRUE(report.stopped);
    EXPECT_TRUE(report.restarted);
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(dialog.endResult(), 0);
    EXPECT_EQ(statusMessage, "Download:");
    int files = 0;
    for (const auto& e : entriesOf(stored())) files += e.type == 0x60 ? 1 : 0;
    EXPECT_EQ(files, 3);
}

} // namespace
