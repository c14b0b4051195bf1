// The download worker on virtual units: the image, the text, the raw copy,
// every failure row, cancel, and the mended rules (any failed read or an
// incomplete text file fails the download; the image never overruns).
#include "core_support.h"
#include "downloadworker.h"
#include "rawimage.h"
#include "recorded_tracks.h"
#include "textexport.h"
#include "unitlink.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

using namespace coretest;
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::vector<uint8_t> pattern(size_t n, unsigned seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 7 + seed) % 251); // never 0xFF
    return v;
}

// The log text of an image as the download writes it, made here without the unit.
std::string textOf(const std::vector<uint8_t>& image, uint16_t family) {
    const std::vector<LogRecord> records = recorded::records(image);
    const fs::path path = fs::temp_directory_path() / ("bexo-core-text-" + std::to_string(std::random_device{}()));
    FILE* f = std::fopen(path.string().c_str(), "wb");
    writeLogTextWith(records.data(), static_cast<unsigned>(records.size()), f, family, MergeOptions{});
    std::fclose(f);
    const std::string text = readAll(path);
    fs::remove(path);
    return text;
}

class Download : public ::testing::Test {
protected:
    void SetUp() override {
        useFastWaits();
        folder = fs::temp_directory_path() / ("bexo-core-download-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder);
        logFilePath = (folder / "log.txt").string();
    }
    void TearDown() override {
        open.reset();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    void plug(const vfactory::UnitDescription& d, const std::vector<uint8_t>& logged = {}) {
        description = d;
        plugged = plugWithLogs(d, logged);
        open = std::make_unique<OpenUnit>();
        RecordingDialog refresh;
        ASSERT_TRUE(runUnitRefresh(open->handle, state, refresh.link()));
    }
    // A unit whose log files are `files`, each holding the bytes given (then erased).
    void plugFiles(const std::vector<std::pair<uint16_t, std::vector<uint8_t>>>& files) {
        vfactory::UnitDescription d = stockUnit();
        d.logFiles = false;
        unsigned id = 1280;
        for (const auto& [size, logged] : files) {
            std::vector<uint8_t> contents = logged;
            contents.resize(size, 0xFF);
            d.items.push_back({0x60, id++, contents, -1});
        }
        plug(d);
    }

    DownloadSetup setup(bool keepImage = true) {
        DownloadSetup s = downloadSetup(state, MergeOptions{});
        s.keepImage = keepImage;
        return s;
    }

    DownloadReport run(DownloadSetup s, RecordingDialog& dialog) {
        DownloadDialog download(DownloadValues{open->handle, logFilePath, statusMessage, downloadRunning}, std::move(s),
                                dialog.link());
        EXPECT_TRUE(download.waitUntilFinished(std::chrono::seconds(120)));
        return download.report();
    }
    DownloadReport run(RecordingDialog& dialog) { return run(setup(), dialog); }

    std::vector<uint8_t> unitImage() {
        return vfactory::logImage(testunits::storedState(*plugged), description.identity);
    }

    fs::path folder;
    std::string logFilePath;
    std::string statusMessage = "untouched";
    std::atomic<bool> downloadRunning{false};
    vfactory::UnitDescription description;
    std::unique_ptr<testunits::Plugged> plugged;
    std::unique_ptr<OpenUnit> open;
    UnitState state;
};

TEST_F(Download, RecordedTrackToTextAndRawImage) {
    const recorded::TrackImage track = recorded::load("logger-a");
    plug(stockUnit(), track.image);
    writeAll(folder / "bexo-log.bin", "");
    RecordingDialog dialog;
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(dialog.endResult(), 1);
    std::vector<std::string> expected = {"Retrieving status...", "Powering on...", "Reading directory..."};
    for (int k = 1; k <= 8; ++k) expected.push_back("Reading log file " + std::to_string(k) + " of 8");
    expected.push_back("Complete");
    EXPECT_EQ(dialog.statuses(), expected);
    EXPECT_TRUE(dialog.boxes().empty());

    const std::vector<uint8_t> image = unitImage();
    ASSERT_EQ(image.size(), 481800u);
    EXPECT_TRUE(report.image == image);
    EXPECT_EQ(readAll(folder / "bexo-log.bin"), std::string(image.begin(), image.end()));
    const std::string text = readAll(logFilePath);
    EXPECT_EQ(text, textOf(image, 0x8100));
    EXPECT_GT(report.records, 300);
    EXPECT_EQ(statusMessage, std::to_string(report.records) + " log records processed");

    // The library's progress reached the dialog while it ran, and nothing
    // after it ended: the registration went with it.
    const int records = dialog.libraryRecords();
    EXPECT_GT(records, 8);
    std::vector<char> buffer(70000);
    unsigned int length = static_cast<unsigned int>(buffer.size());
    EXPECT_EQ(ZELReadDirectoryItemPartialByID(open->handle, 1280, buffer.data(), &length), 1);
    EXPECT_EQ(dialog.libraryRecords(), records);
}

TEST_F(Download, LogFilesLieEndToEndWithErasedTails) {
    const auto a = pattern(1000, 1), b = pattern(3000, 2), c = pattern(60, 3);
    plugFiles({{4096, a}, {8192, b}, {100, c}});
    ASSERT_EQ(state.logBytes, 12388u);
    writeAll(folder / "bexo-log.bin", std::string(20000, 'x'));
    RecordingDialog dialog;
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, 1);
    ASSERT_EQ(report.image.size(), 12388u);
    auto at = [&](size_t offset, const std::vector<uint8_t>& bytes, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            const uint8_t want = i < bytes.size() ? bytes[i] : 0xFF;
            if (report.image[offset + i] != want) return ::testing::AssertionFailure() << "byte " << offset + i;
        }
        return ::testing::AssertionSuccess();
    };
    EXPECT_TRUE(at(0, a, 4096));
    EXPECT_TRUE(at(4096, b, 8192));
    EXPECT_TRUE(at(12288, c, 100));
    // An existing bexo-log.bin keeps its size; its start becomes the image.
    const std::string raw = readAll(folder / "bexo-log.bin");
    ASSERT_EQ(raw.size(), 20000u);
    EXPECT_EQ(raw.substr(0, 12388), std::string(report.image.begin(), report.image.end()));
    EXPECT_EQ(raw.substr(12388), std::string(20000 - 12388, 'x'));
    EXPECT_EQ(report.rawImagePath, (fs::absolute(folder) / "bexo-log.bin").string());
}

TEST_F(Download, NoRawImageIsCreated) {
    plugFiles({{4096, pattern(10, 1)}});
    RecordingDialog dialog;
    EXPECT_EQ(run(dialog).result, 1);
    EXPECT_FALSE(fs::exists(folder / "bexo-log.bin"));
    EXPECT_TRUE(fs::exists(logFilePath));
}

TEST_F(Download, NoLogFilesAtAll) {
    vfactory::UnitDescription d = stockUnit();
    d.logFiles = false;
    plug(d);
    ASSERT_EQ(state.logBytes, 0u);
    writeAll(folder / "bexo-log.bin", "kept");
    RecordingDialog dialog;
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(statusMessage, "There were no logs to download");
    EXPECT_EQ(dialog.statuses().back(), "Complete");
    EXPECT_FALSE(fs::exists(logFilePath)); // not touched
    EXPECT_EQ(readAll(folder / "bexo-log.bin"), "kept");
}

TEST_F(Download, LogFilesOfNoBytes) {
    plugFiles({{0, {}}, {0, {}}});
    ASSERT_EQ(state.logCount, 2);
    RecordingDialog dialog;
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(statusMessage, "0 log records processed");
    EXPECT_EQ(readAll(logFilePath), "");
}

TEST_F(Download, LogFilesGrownSinceTheRefreshStayInsideTheImage) {
    plug(stockUnit(), recorded::load("logger-b").image);
    RecordingDialog dialog;
    DownloadSetup s = setup();
    s.logBytes = 5000; // as if the refresh had seen one small file
    const DownloadReport report = run(s, dialog);
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(report.image == unitImage());
    EXPECT_EQ(readAll(logFilePath), textOf(unitImage(), 0x8100));
}

TEST_F(Download, HeldBackRecordsWriteNoLines) {
    // Family 3 is older than the parser's oldest usable version: the count
    // call says 0 while the points are there.
    std::vector<logimage::Fix> fixes;
    for (int i = 0; i < 50; ++i) fixes.push_back({1205849947 + i, 49.4 + i * 1e-4, -112.9, 40, 0, 50});
    plug(stockUnit(), logimage::encodeTrack(fixes, {3, 1, 0}));
    ASSERT_TRUE(recorded::records(unitImage()).empty());
    RecordingDialog dialog;
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.records, 0);
    EXPECT_EQ(readAll(logFilePath), "");
}

struct ReadFailure {
    const char* name;
    int file; // which of three fails
};

class DownloadReadFailure : public Download, public ::testing::WithParamInterface<ReadFailure> {};

TEST_P(DownloadReadFailure, AnyFailedReadFailsTheDownload) {
    plugFiles({{4096, pattern(2000, 1)}, {8192, pattern(2000, 2)}, {4096, pattern(2000, 3)}});
    const std::string failing = "Reading log file " + std::to_string(GetParam().file) + " of 3";
    RecordingDialog dialog;
    dialog.onStatus = [&](const std::string& text) {
        if (text == failing) armNow(*plugged, "drop-response");
    };
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(report.failedReads, 1);
    EXPECT_EQ(dialog.endResult(), 0);
    EXPECT_EQ(dialog.statuses().back(), "Conversion unsuccessful");
    EXPECT_EQ(dialog.boxes(), (std::vector<std::string>{"Conversion status|warning|" + statusMessage}));
    EXPECT_EQ(statusMessage, std::to_string(report.records) + " log records processed");
    EXPECT_TRUE(fs::exists(logFilePath)); // written from what was read
    EXPECT_GE(open->handle, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, DownloadReadFailure,
                         ::testing::Values(ReadFailure{"First", 1}, ReadFailure{"Middle", 2}, ReadFailure{"Last", 3}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Download, TextFileThatCannotBeOpened) {
    plugFiles({{4096, pattern(100, 1)}});
    logFilePath = (folder / "missing" / "log.txt").string();
    RecordingDialog dialog;
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, 0);
    EXPECT_FALSE(report.textWritten);
    EXPECT_EQ(statusMessage, "Can't write to file " + logFilePath);
    EXPECT_EQ(dialog.boxes(), (std::vector<std::string>{"Conversion status|warning|" + statusMessage}));
}

TEST_F(Download, TextFileFailingMidWrite) {
    const recorded::TrackImage track = recorded::load("logger-a");
    plug(stockUnit(), track.image);
    writeAll(logFilePath, "old");
    DownloadSetup s = setup();
    // A stream that takes nothing: every write fails, as on a full disk.
    s.openTextFile = [](const std::string& path) { return std::fopen(path.c_str(), "rb"); };
    RecordingDialog dialog;
    const DownloadReport report = run(s, dialog);
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(statusMessage, "Can't write to file " + logFilePath);
}

#if defined(__linux__)
TEST_F(Download, TextFileOnAFullDisk) {
    plug(stockUnit(), recorded::load("logger-a").image);
    logFilePath = "/dev/full";
    RecordingDialog dialog;
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(statusMessage, "Can't write to file /dev/full");
}
#endif

struct SetupFailure {
    const char* name;
    const char* armedAt;
    const char* fault;
};

class DownloadSetupFailure : public Download, public ::testing::WithParamInterface<SetupFailure> {};

TEST_P(DownloadSetupFailure, CommunicationErrorLeavesTheDialogOpen) {
    plugFiles({{4096, pattern(100, 1)}});
    ASSERT_EQ(ZELPowerOff(open->handle), 1); // the download has to power it on
    RecordingDialog dialog;
    dialog.onStatus = [&](const std::string& text) {
        if (text == GetParam().armedAt) armNow(*plugged, GetParam().fault);
    };
    const DownloadReport report = run(dialog);
    EXPECT_EQ(report.result, -1);
    EXPECT_EQ(dialog.endResult(), -1); // until the user cancels
    EXPECT_EQ(dialog.boxes(), (std::vector<std::string>{std::string("Error|error|") + kCommunicationErrorText}));
    EXPECT_EQ(open->handle, -1);
    EXPECT_TRUE(reopens(*plugged));
    EXPECT_EQ(statusMessage, "untouched");
    EXPECT_FALSE(fs::exists(logFilePath));
}

INSTANTIATE_TEST_SUITE_P(Steps, DownloadSetupFailure,
                         ::testing::Values(SetupFailure{"Status", "Retrieving status...", "drop-response"},
                                           SetupFailure{"PowerOn", "Powering on...", "unplug-after:1"},
                                           SetupFailure{"Directory", "Reading directory...", "drop-response"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Download, PulledOutAtEveryStep) {
    std::vector<std::string> steps = {"Retrieving status...", "Powering on...", "Reading directory..."};
    for (int k = 1; k <= 3; ++k) steps.push_back("Reading log file " + std::to_string(k) + " of 3");
    for (const std::string& step : steps) {
        open.reset();
        plugFiles({{4096, pattern(3000, 1)}, {4096, pattern(3000, 2)}, {4096, pattern(3000, 3)}});
        statusMessage = "untouched";
        RecordingDialog dialog;
        dialog.onStatus = [&](const std::string& text) {
            if (text == step) armNow(*plugged, "unplug-after:1");
        };
        const DownloadReport report = run(dialog);
        EXPECT_NE(report.result, 1) << step;
        if (report.result == -1) {
            EXPECT_EQ(open->handle, -1) << step;
            EXPECT_EQ(statusMessage, "untouched") << step;
        } else {
            EXPECT_EQ(dialog.statuses().back(), "Conversion unsuccessful") << step;
        }
    }
}

class DownloadCancel : public Download {};

TEST_F(DownloadCancel, DuringAReadReturnsWithinASecondAndTouchesNothingAfter) {
    plug(stockUnit(), recorded::load("logger-b").image);
    RecordingDialog dialog;
    std::atomic<bool> secondFile{false};
    dialog.onStatus = [&](const std::string& text) {
        if (text == "Reading log file 2 of 8") {
            // The answer comes after the library's 5-second wait: the worker
            // sits inside the read when Cancel comes.
            armNow(*plugged, "late-response:7000");
            secondFile = true;
        }
    };
    std::optional<DownloadDialog> download;
    download.emplace(DownloadValues{open->handle, logFilePath, statusMessage, downloadRunning}, setup(), dialog.link());
    while (!secondFile) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    download->cancel();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(1300));
    EXPECT_FALSE(downloadRunning.load());
    EXPECT_EQ(download->report().result, 0);
    const size_t seen = dialog.events().size();

    // The next conversation waits for the read under way to return.
    bool workerWasDone = false;
    RecordingDialog refresh;
    refresh.onStatus = [&](const std::string&) { workerWasDone = workerWasDone || download->finished(); };
    UnitState after;
    runUnitRefresh(open->handle, after, refresh.link());
    EXPECT_TRUE(workerWasDone);
    ASSERT_TRUE(download->waitUntilFinished(std::chrono::seconds(20)));
    EXPECT_EQ(dialog.events().size(), seen);
    EXPECT_EQ(statusMessage, "untouched");
    EXPECT_FALSE(fs::exists(logFilePath));
    download.reset();
}

TEST_F(DownloadCancel, BetweenStepsStopsAtTheNext) {
    plug(stockUnit(), recorded::load("logger-a").image);
    RecordingDialog dialog;
    std::optional<DownloadDialog> download;
    std::atomic<bool> reading{false};
    dialog.onStatus = [&](const std::string& text) {
        if (text == "Reading log file 3 of 8") reading = true;
    };
    download.emplace(DownloadValues{open->handle, logFilePath, statusMessage, downloadRunning}, setup(), dialog.link());
    while (!reading) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    download->cancel();
    EXPECT_TRUE(download->waitUntilFinished(std::chrono::seconds(10)));
    for (const std::string& status : dialog.statuses()) EXPECT_NE(status, "Reading log file 5 of 8");
    EXPECT_EQ(dialog.endResult(), -1); // ended by its owner, not the worker
    EXPECT_EQ(statusMessage, "untouched");
    EXPECT_GE(open->handle, 0);
    // The unit answers the next conversation.
    UnitState after;
    EXPECT_TRUE(runUnitRefresh(open->handle, after, RecordingDialog().link()));
}

TEST_F(DownloadCancel, AfterTheWorkerEndedTheDialogChangesNothing) {
    plugFiles({{4096, pattern(100, 1)}});
    RecordingDialog dialog;
    DownloadDialog download(DownloadValues{open->handle, logFilePath, statusMessage, downloadRunning}, setup(),
                            dialog.link());
    ASSERT_TRUE(download.waitUntilFinished(std::chrono::seconds(30)));
    download.cancel();
    const DownloadReport report = download.report();
    EXPECT_EQ(report.result, 1);
    EXPECT_FALSE(report.cancelled);
}

TEST(DownloadProgressLine, FromTheLibrarysStatusRecord) {
    const DownloadProgress p = downloadProgressOf(_ZEL_STATUS_RECORD{0, ZEL_STATUS_FILE_READ, 0x12345, 4096, 0, 0});
    EXPECT_EQ(p.text, "Progress: 4096 ");
    EXPECT_EQ(p.range, 0x2345);
    EXPECT_EQ(p.position, 4096);
}

TEST(RawImagePath, BesideTheTextFileWhileThePathIsShortEnough) {
    const fs::path base = fs::absolute(fs::temp_directory_path());
    EXPECT_EQ(rawImagePathBeside((base / "x.txt").string()), (base / "bexo-log.bin").string());
    std::string longName = (base / "").string();
    longName += std::string(284 - longName.size() - 4, 'a') + ".txt"; // 284 characters in all
    ASSERT_EQ(longName.size(), 284u);
    EXPECT_NE(rawImagePathBeside(longName), "");
    EXPECT_EQ(rawImagePathBeside(longName + "x"), "");
}

} // namespace
