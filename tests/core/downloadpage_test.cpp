// The Download page's rules and the order of its flows, with the window's
// own steps recorded.
#include "downloadpage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

struct Recorder {
    std::vector<std::string> calls;
    int downloadResult = 1;
    std::string* statusMessage = nullptr;
    DownloadPageSteps steps() {
        DownloadPageSteps s;
        s.runDownloadDialog = [this] {
            calls.push_back("download");
            *statusMessage = "12 log records processed";
            return downloadResult;
        };
        s.runPreparationDialog = [this] {
            calls.push_back("prepare");
            *statusMessage += "\n481800 bytes available for new logs.";
        };
        s.runUnitRefresh = [this] { calls.push_back("refresh"); };
        s.populatePage = [this] { calls.push_back("populate"); };
        s.messageBox = [this](const std::string& text, const std::string& caption, MessageIcon icon) {
            calls.push_back("box " + caption + (icon == MessageIcon::Information ? " i " : " ! ") + text);
        };
        return s;
    }
};

class DownloadPage : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("bexo-core-page-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder);
        recorder.statusMessage = &statusMessage;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path folder;
    std::string logFilePath, statusMessage;
    Recorder recorder;
};

TEST_F(DownloadPage, EnabledOnlyForAConfigurableUnit) {
    UnitState s;
    s.unitConfigurable = true;
    DownloadPageView v = downloadPageView(s, true, MergeOptions{true, false});
    EXPECT_TRUE(v.enabled);
    EXPECT_TRUE(v.mergeDeadChecked);
    EXPECT_FALSE(v.mergeCrossingChecked);
    v = downloadPageView(s, false, MergeOptions{false, false}, v);
    EXPECT_FALSE(v.enabled);
    EXPECT_TRUE(v.mergeDeadChecked); // marks stay as they were
    s.unitConfigurable = false;
    EXPECT_FALSE(downloadPageView(s, true, MergeOptions{}).enabled);
}

TEST_F(DownloadPage, DownloadAndRetain) {
    const std::string path = (folder / "log.txt").string();
    downloadFlow(path, false, logFilePath, statusMessage, recorder.steps());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"download", "box Download status i 12 log records processed"}));
    EXPECT_EQ(logFilePath, path);
    EXPECT_EQ(statusMessage, "");
    EXPECT_TRUE(fs::exists(path)); // the name was tried by opening it
}

TEST_F(DownloadPage, DownloadAndClear) {
    downloadFlow((folder / "log.txt").string(), true, logFilePath, statusMessage, recorder.steps());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"download", "prepare", "refresh", "populate",
                                                        "box Download status i 12 log records processed\n481800 "
                                                        "bytes available for new logs."}));
}

TEST_F(DownloadPage, AFailedOrCancelledDownloadClearsNothing) {
    recorder.downloadResult = 0;
    downloadFlow((folder / "log.txt").string(), true, logFilePath, statusMessage, recorder.steps());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"download"}));
    EXPECT_EQ(statusMessage, "12 log records processed"); // kept
}

TEST_F(DownloadPage, FileNamesThatCannotBeUsedAndCancelledSaveDialogs) {
    downloadFlow((folder / "missing" / "log.txt").string(), true, logFilePath, statusMessage, recorder.steps());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"box Error ! Please enter a valid file name"}));
    EXPECT_EQ(logFilePath, "");
    recorder.calls.clear();
    downloadFlow("", true, logFilePath, statusMessage, recorder.steps());
    EXPECT_TRUE(recorder.calls.empty());
    // An existing file is left as it is until the download replaces it.
    const fs::path existing = folder / "old.txt";
    std::ofstream(existing) << "old";
    EXPECT_TRUE(fileNameUsable(existing.string()));
    EXPECT_EQ(fs::file_size(existing), 3u);
}

TEST_F(DownloadPage, ClearOnlyShowsABoxStartingWithALineBreak) {
    clearFlow(statusMessage, recorder.steps());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"prepare", "refresh", "populate",
                                                        "box Download status i \n481800 bytes available for new logs."}));
    EXPECT_EQ(statusMessage, "");
}

} // namespace
