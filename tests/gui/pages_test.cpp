// The pages with a unit, through the program's windows: what they show,
// Apply into the unit's EEPROM, downloads through the save dialog, clearing,
// and a unit pulled out or a download cancelled on the way.
#include "gui_driver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

using namespace gui;
namespace fs = std::filesystem;

// Started with the unit plugged in, past its first refresh.
std::unique_ptr<Program> startConnected(const UnitFolder& unit) {
    auto p = start({&unit});
    EXPECT_TRUE(bannerIs(*p, kGreen));
    EXPECT_TRUE(windowGone(*p, "Communicating with Bexo", 15000));
    return p;
}

HWND showTab(const Program& p, int index) {
    HWND before = currentPage(p);
    selectTab(p, index);
    HWND page = nullptr;
    eventually([&] { return (page = currentPage(p)) != nullptr && (index == 0 || page != before); });
    return page;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path scratch(const char* name) {
    const fs::path dir = fs::temp_directory_path() / ("bexo-gui-out-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(dir);
    return dir / name;
}

HWND waitForBox(const Program& p, const char* caption, DWORD timeoutMs = 30000) {
    return waitForWindow(p, caption, timeoutMs);
}

// Holds the download inside a library call: once the log files are being
// read, the unit answers the next request four seconds late.
bool stallTheReads(UnitFolder& unit, HWND download) {
    if (!eventually([&] { return text(download, 1015).rfind("Reading log file", 0) == 0; }, 60000)) return false;
    unit.fault("late-response:4000");
    Sleep(400); // the unit takes up armed faults within a tenth of a second
    return true;
}

TEST(Pages, SummaryShowsTheUnitsVersionsSerialAndBytes) {
    UnitFolder unit;
    auto p = startConnected(unit);
    HWND page = currentPage(*p);
    EXPECT_EQ(text(page, 1049), "Version 3.5");
    EXPECT_EQ(text(page, 1011), "USB 1.03  CPU 1.29");
    EXPECT_EQ(text(page, 1037), "1087");
    EXPECT_EQ(text(page, 1038), "Yes");
    EXPECT_EQ(text(page, 1034), "00042");
    EXPECT_EQ(text(page, 1036), "20000"); // the stock unit's three sounds
    EXPECT_EQ(text(page, 1022), "0 files and 0 bytes");
    EXPECT_EQ(text(page, 1050), "");
    EXPECT_EQ(p->close(), 0);
}

TEST(Pages, GroupedFamilyShowsItsCustomerMark) {
    UnitFolder unit(0x8210);
    auto p = startConnected(unit);
    EXPECT_EQ(text(currentPage(*p), 1050), "for Quillmere");
    EXPECT_EQ(p->close(), 0);
}

TEST(Pages, ApplyWritesVolumeAndClampedBatterySaverIntoTheEeprom) {
    UnitSpec spec;
    spec.volume = 1;
    spec.batterySaverSeconds = 150;
    UnitFolder unit(spec);
    auto p = startConnected(unit);
    HWND page = showTab(*p, 1);
    EXPECT_TRUE(checked(page, 1027));
    EXPECT_FALSE(checked(page, 1026));
    EXPECT_EQ(text(page, 1047), "2"); // 150 s in whole minutes
    for (int id : {1026, 1027, 1028, 1047, 1032}) EXPECT_TRUE(enabled(page, id)) << id;

    click(page, 1028); // "High"
    ASSERT_TRUE(eventually([&] { return checked(page, 1028); }));
    setText(page, 1047, "1500");
    click(page, 1032);
    ASSERT_NE(waitForWindow(*p, "Communicating with Bexo"), nullptr);
    ASSERT_TRUE(windowGone(*p, "Communicating with Bexo", 30000));
    // The settings dialog, then the refresh.
    windowGone(*p, "Communicating with Bexo", 30000);
    ASSERT_TRUE(eventually([&] { return text(page, 1047) == "1080"; }, 30000));
    EXPECT_TRUE(checked(page, 1028));
    EXPECT_EQ(p->close(), 0);
    const std::vector<uint8_t> eeprom = unit.eeprom();
    EXPECT_EQ(eeprom[6], 2);
    EXPECT_EQ(eeprom[45], 0x20); // 64800 s
    EXPECT_EQ(eeprom[46], 0xFD);
}

TEST(Pages, FamiliesDecideWhatCanBeChanged) {
    {
        UnitFolder coded(0x8200);
        auto p = startConnected(coded);
        HWND page = showTab(*p, 1);
        for (int id : {1026, 1027, 1028}) EXPECT_TRUE(enabled(page, id)) << id;
        EXPECT_FALSE(enabled(page, 1047)); // the 0x82 units keep their time
        EXPECT_EQ(p->close(), 0);
    }
    {
        UnitFolder foreign(0x8400);
        auto p = startConnected(foreign);
        HWND page = showTab(*p, 1);
        for (int id : {1026, 1027, 1028, 1047}) EXPECT_FALSE(enabled(page, id)) << id;
        EXPECT_TRUE(enabled(page, 1032));
        page = showTab(*p, 2);
        for (int id : {1048, 1049, 1013, 1015, 1014}) EXPECT_FALSE(enabled(page, id)) << id;
        EXPECT_EQ(p->close(), 0);
    }
}

TEST(Pages, MergeOptionsStartCheckedAndOutliveTheirPage) {
    UnitFolder unit;
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    EXPECT_TRUE(checked(page, 1048));
    EXPECT_TRUE(checked(page, 1049));
    for (int id : {1048, 1049, 1013, 1015, 1014}) EXPECT_TRUE(enabled(page, id)) << id;
    click(page, 1048);
    ASSERT_TRUE(eventually([&] { return !checked(page, 1048); }));
    showTab(*p, 0);
    page = showTab(*p, 2);
    EXPECT_FALSE(checked(page, 1048));
    EXPECT_TRUE(checked(page, 1049));
    EXPECT_EQ(p->close(), 0);
}

TEST(Pages, DownloadThroughTheSaveDialogMatchesBexologConvert) {
    UnitFolder unit;
    unit.addLogs();
    const fs::path txt = scratch("drive.txt");
    const fs::path raw = txt.parent_path() / "bexo-log.bin";
    std::ofstream(txt, std::ios::binary) << "an older download\r\n"; // replaced without a question
    std::ofstream(raw, std::ios::binary).put('\0');                   // an existing raw copy is written over
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    click(page, 1013);
    ASSERT_TRUE(saveAs(*p, txt.string()));
    HWND box = waitForBox(*p, "Download status", 120000);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(messageText(box).find("log records processed"), std::string::npos) << messageText(box);
    answer(box);
    EXPECT_EQ(p->close(), 0);

    const fs::path converted = scratch("converted.txt");
    ASSERT_EQ(runTool("bexolog.exe", "convert \"" + raw.string() + "\" -o \"" + converted.string() + "\" --family 0x8100"),
              0);
    const std::string mine = readFile(txt), theirs = readFile(converted);
    EXPECT_GT(mine.size(), 1000u);
    EXPECT_EQ(mine, theirs);
}

TEST(Pages, DownloadAndClearLeavesFreshEmptyLogFiles) {
    UnitFolder unit;
    unit.addLogs();
    const fs::path txt = scratch("cleared.txt");
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    click(page, 1015);
    ASSERT_TRUE(saveAs(*p, txt.string()));
    HWND box = waitForBox(*p, "Download status", 240000);
    ASSERT_NE(box, nullptr);
    const std::string message = messageText(box);
    EXPECT_NE(message.find("log records processed\n"), std::string::npos) << message;
    EXPECT_NE(message.find("bytes available for new logs."), std::string::npos) << message;
    answer(box);
    // The refresh after the clear counts the new, empty log files.
    HWND summary = showTab(*p, 0);
    EXPECT_NE(text(summary, 1022).rfind("0 files", 0), 0u) << text(summary, 1022);
    EXPECT_EQ(p->close(), 0);
    EXPECT_GT(fs::file_size(txt), 1000u);
    const std::string listing = unit.directory();
    // Fresh log files (type 60) with the ids 1280, 1281, ...
    EXPECT_NE(listing.find(" 60 "), std::string::npos) << listing;
    EXPECT_NE(listing.find(" 00000500 "), std::string::npos) << listing;
}

TEST(Pages, AUnitPulledOutMidDownloadLeavesARedBannerAndAWorkingProgram) {
    UnitSpec spec;
    spec.timing = true;
    UnitFolder unit(spec);
    unit.addLogs();
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    click(page, 1013);
    ASSERT_TRUE(saveAs(*p, scratch("pulled.txt").string()));
    HWND dialog = waitForWindow(*p, "Download");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(stallTheReads(unit, dialog));
    unit.unplug();
    EXPECT_TRUE(bannerIs(*p, kRed));
    EXPECT_TRUE(windowGone(*p, "Download", 15000));
    EXPECT_EQ(findWindow(*p, "Download status"), nullptr);
    EXPECT_EQ(p->close(), 0);
}

TEST(Pages, CancelClosesTheDownloadDialogWithinASecondAndNothingIsCleared) {
    UnitSpec spec;
    spec.timing = true;
    UnitFolder unit(spec);
    unit.addLogs();
    const std::string before = unit.directory();
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    click(page, 1015); // download, then clear
    ASSERT_TRUE(saveAs(*p, scratch("cancelled.txt").string()));
    HWND dialog = waitForWindow(*p, "Download");
    ASSERT_NE(dialog, nullptr);
    // The library's progress records reach the progress line and bar.
    EXPECT_TRUE(eventually([&] { return text(dialog, 1017).rfind("Progress: ", 0) == 0; }, 30000)) << text(dialog, 1017);
    EXPECT_TRUE(eventually([&] { return SendDlgItemMessageA(dialog, 1018, PBM_GETPOS, 0, 0) > 0; }, 30000));
    ASSERT_TRUE(stallTheReads(unit, dialog));
    const auto pressed = std::chrono::steady_clock::now();
    click(dialog, 1016);
    ASSERT_TRUE(windowGone(*p, "Download", 5000));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed);
    EXPECT_LT(took.count(), 1500);
    EXPECT_EQ(waitForWindow(*p, "Communicating with Bexo", 2000), nullptr);
    EXPECT_EQ(findWindow(*p, "Download status"), nullptr);
    EXPECT_EQ(p->close(), 0);
    EXPECT_EQ(unit.directory(), before);
}

TEST(Pages, ANameInAFolderThatDoesNotExistStartsNothing) {
    UnitFolder unit;
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    click(page, 1013);
    ASSERT_TRUE(saveAs(*p, "Z:\\no-such-folder-for-bexo\\drive.txt"));
    HWND box = waitForBox(*p, "Error", 10000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), "Please enter a valid file name");
    answer(box);
    EXPECT_TRUE(windowGone(*p, "Error"));
    EXPECT_EQ(findWindow(*p, "Download"), nullptr);
    EXPECT_EQ(p->close(), 0);
}

TEST(Pages, EscapeDoesNotEndTheClearWhileItsWorkerRuns) {
    UnitSpec spec;
    spec.timing = true; // erases take their time
    UnitFolder unit(spec);
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    click(page, 1014);
    HWND dialog = waitForWindow(*p, "Communicating with Bexo");
    ASSERT_NE(dialog, nullptr);
    Sleep(2500);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    Sleep(500);
    EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog));
    HWND box = waitForBox(*p, "Download status", 240000);
    ASSERT_NE(box, nullptr);
    const std::string message = messageText(box);
    EXPECT_EQ(message.rfind("\n", 0), 0u) << message;
    EXPECT_NE(message.find("bytes available for new logs."), std::string::npos) << message;
    answer(box);
    EXPECT_EQ(p->close(), 0);
}

TEST(Pages, ClosingTheProgramMidDownloadWaitsForTheWorker) {
    UnitSpec spec;
    spec.timing = true;
    UnitFolder unit(spec);
    unit.addLogs();
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    click(page, 1013);
    ASSERT_TRUE(saveAs(*p, scratch("closed.txt").string()));
    HWND dialog = waitForWindow(*p, "Download");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(stallTheReads(unit, dialog));
    const auto closing = std::chrono::steady_clock::now();
    EXPECT_EQ(p->close(30000), 0);
    // It ended only once the worker was out of the stalled call, not by
    // killing it inside.
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - closing);
    EXPECT_GE(took.count(), 2000);
    // Nothing of the program holds the unit any more: another one opens it.
    const std::string listing = unit.directory();
    EXPECT_NE(listing.find("Directory Contents"), std::string::npos) << listing;
}

std::string repeated(const char* fault, int times) {
    std::string spec;
    for (int i = 0; i < times; ++i) spec += (spec.empty() ? "" : ",") + std::string(fault);
    return spec;
}

TEST(Pages, AFailedConversationIsReportedAndGivesTheUnitBack) {
    UnitFolder unit;
    unit.fault(repeated("wrong-code", 40));
    auto p = start({&unit});
    HWND box = waitForBox(*p, "Error");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageText(box), "Could not communicate with Bexo!\nUnplug Bexo from your PC, remove the batteries, "
                                "wait 5 seconds, and then try again.");
    answer(box);
    EXPECT_TRUE(bannerIs(*p, kRed));
    EXPECT_TRUE(windowGone(*p, "Communicating with Bexo"));
    // The program closed the unit, not only forgot it: another program can
    // open it while this one still runs.
    const std::string listing = unit.directory();
    EXPECT_NE(listing.find("Directory Contents"), std::string::npos) << listing;
    EXPECT_EQ(p->close(), 0);
}

TEST(Pages, AFailedLogFileReadMakesTheDownloadUnsuccessfulAndNothingIsCleared) {
    UnitSpec spec;
    spec.timing = true;
    UnitFolder unit(spec);
    unit.addLogs();
    const std::string before = unit.directory();
    auto p = startConnected(unit);
    HWND page = showTab(*p, 2);
    click(page, 1015); // download, then clear
    ASSERT_TRUE(saveAs(*p, scratch("failed.txt").string()));
    HWND dialog = waitForWindow(*p, "Download");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(eventually([&] { return text(dialog, 1015).rfind("Reading log file", 0) == 0; }, 60000));
    unit.fault(repeated("wrong-code", 60));
    HWND box = waitForBox(*p, "Conversion status", 120000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(text(dialog, 1015), "Conversion unsuccessful");
    answer(box);
    EXPECT_TRUE(windowGone(*p, "Download", 15000));
    // No clear follows, and no status box.
    EXPECT_EQ(waitForWindow(*p, "Communicating with Bexo", 2000), nullptr);
    EXPECT_EQ(findWindow(*p, "Download status"), nullptr);
    EXPECT_EQ(p->close(), 0);
    EXPECT_EQ(unit.directory(), before);
}

} // namespace
