// The program's own fixed waits at their real length (the library's are
// shortened here): a unit needs them, so only virtual units named in
// ZELUSB_VIRTUAL may cut them short. Each kind of wait once.
#include "core_support.h"
#include "downloadworker.h"
#include "logspaceworker.h"
#include "unitlink.h"
#include "unitsettings.h"

#include <chrono>
#include <cstdlib>

using namespace coretest;
using Clock = std::chrono::steady_clock;

namespace {

long msSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class ProgramWaits : public ::testing::Test {
protected:
    void SetUp() override {
        testunits::initialiseLibrary();
#if defined(_WIN32)
        _putenv_s("ZELUSB_VIRTUAL", "");
#else
        unsetenv("ZELUSB_VIRTUAL");
#endif
        plugged = plugWithLogs(stockUnit(), std::vector<uint8_t>(300, 0x41));
        openNextUnit(handle);
        ZELPowerOn(handle);
    }
    void TearDown() override { closeUnit(handle); }

    std::unique_ptr<testunits::Plugged> plugged;
    std::atomic<int> handle{-1};
    UnitState state;
};

TEST_F(ProgramWaits, RefreshAndSettingsWaitAfterTheReframe) {
    auto start = Clock::now();
    ASSERT_TRUE(runUnitRefresh(handle, state, DialogLink{}));
    EXPECT_GE(msSince(start), 2000 + 100);
    start = Clock::now();
    testing::internal::CaptureStdout();
    ASSERT_TRUE(runSettingsDialog(handle, state, DialogLink{}));
    testing::internal::GetCapturedStdout();
    EXPECT_GE(msSince(start), 2000 + 100);
}

TEST_F(ProgramWaits, DownloadWaitsAfterTheReframeAndEachLogFile) {
    ASSERT_TRUE(runUnitRefresh(handle, state, DialogLink{}));
    ASSERT_EQ(state.logCount, 8);
    const std::string path = (std::filesystem::temp_directory_path() / "bexo-core-waits.txt").string();
    std::string message;
    std::atomic<bool> running{false};
    const auto start = Clock::now();
    DownloadDialog download(DownloadValues{handle, path, message, running}, downloadSetup(state, MergeOptions{}),
                            DialogLink{});
    ASSERT_TRUE(download.waitUntilFinished(std::chrono::seconds(60)));
    EXPECT_EQ(download.report().result, 1);
    EXPECT_GE(msSince(start), 2000 + 8 * 500);
    std::remove(path.c_str());
}

TEST_F(ProgramWaits, ClearWaitsAfterEachFileAndBeforeTheRestart) {
    ASSERT_TRUE(runUnitRefresh(handle, state, DialogLink{}));
    std::string message;
    const auto start = Clock::now();
    LogSpaceDialog clear(LogSpaceValues{handle, message}, state, DialogLink{});
    ASSERT_TRUE(clear.waitUntilFinished(std::chrono::seconds(60)));
    const LogSpaceReport report = clear.report();
    ASSERT_TRUE(report.restarted);
    EXPECT_GE(msSince(start), 100L * report.written + 1000);
}

} // namespace
