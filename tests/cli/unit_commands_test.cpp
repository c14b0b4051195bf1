// bexolog status, download, clear and configure on virtual units named in
// ZELUSB_VIRTUAL: the real program, and the units' storage read back
// without it.
#include "cli_support.h"
#include "recorded_tracks.h"

#include "vfactory/directory.h"
#include "vfactory/layout.h"
#include "vfactory/logfiles.h"
#include "vstore/armed_faults.h"
#include "vstore/folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#if !defined(_WIN32)
#  include <csignal>
#  include <fcntl.h>
#  include <spawn.h>
#  include <sys/wait.h>
#  include <thread>
#  include <unistd.h>
extern char** environ;
#endif

namespace fs = std::filesystem;

namespace {

void setEnv(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

std::vector<uint8_t> bytesOfFile(const fs::path& path) {
    const std::string s = readFile(path.string());
    return {s.begin(), s.end()};
}

class UnitCommands : public CliTest {
protected:
    UnitCommands() : CliTest("unitcmd_") {}
    void SetUp() override {
        CliTest::SetUp();
        dir_ = fs::temp_directory_path() / ("bexolog-unitcmd-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_ / "out");
        setEnv("ZELUSB_FAST_CLOCK", "1");
    }
    void TearDown() override {
        for (const char* suffix : {".out", ".err"}) std::remove((base_ + suffix).c_str());
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // A stock unit with its log space laid out and the recorded tracks in it.
    fs::path makeUnit(const std::string& name, uint32_t serial, uint16_t family = 0x8100, bool logs = true,
                      vunit::Kind kind = vunit::Kind::Stream) {
        vfactory::UnitDescription d = vfactory::defaultDescription();
        d.identity.kind = kind;
        d.eeprom.serial = serial;
        d.eeprom.family = family;
        d.logFiles = logs;
        vunit::Storage storage = vfactory::buildUnit(d);
        if (logs)
            for (const recorded::TrackImage& t : recorded::all()) vfactory::appendLog(storage, d.identity, t.image);
        const fs::path folder = dir_ / name;
        vunit::createUnitFolder(folder, d.identity, storage);
        identity_ = vunit::loadUnitFolder(folder).identity;
        return folder;
    }
    void use(const std::vector<fs::path>& units) {
        std::string list;
        for (const fs::path& u : units) {
#if defined(_WIN32)
            list += (list.empty() ? "" : ";") + u.string();
#else
            list += (list.empty() ? "" : ":") + u.string();
#endif
        }
        setEnv("ZELUSB_VIRTUAL", list);
    }
    vunit::Storage storageOf(const fs::path& unit) { return vunit::loadUnitFolder(unit).storage; }
    std::string out(const std::string& name) { return (dir_ / "out" / name).string(); }

    fs::path dir_;
    vunit::Identity identity_;
};

TEST_F(UnitCommands, StatusShowsTheSummaryAndTheSettings) {
    use({makeUnit("a", 42)});
    const Outcome run = bexolog("status");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Bexo Log Export:  Version 3.5\n"
                       "Bexo version:     USB 1.03  CPU 1.29\n"
                       "CPU:              1087\n"
                       "Logging capable:  Yes\n"
                       "Serial number:    00042\n"
                       "Bytes used:       501800\n"
                       "Logs:             8 files and 481800 bytes\n"
                       "EEPROM family:    0x8100\n"
                       "Volume:           low\n"
                       "Battery saver:    30 minutes\n");
    EXPECT_NE(run.err.find("Reading EEPROM..."), std::string::npos);
}

TEST_F(UnitCommands, VersionNamesTheProgramAndItsLibraries) {
    const Outcome run = bexolog("--version");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "bexolog 3, 0, 0, 5 (BexoLog Export Version 3.5)");
    EXPECT_NE(run.out.find("\nzelusb "), std::string::npos);
    EXPECT_NE(run.out.find("\nBexoLog Parser "), std::string::npos);
}

// The download's text is what convert makes of the same image, and the raw
// image is the log files' bytes on the unit, for each text layout.
TEST_F(UnitCommands, DownloadMatchesConvertAndTheUnitsBytes) {
    for (const uint16_t family : {uint16_t{0x8100}, uint16_t{0x8205}, uint16_t{0x8210}}) {
        const std::string f = std::to_string(family);
        const fs::path unit = makeUnit("u" + f, 7, family);
        use({unit});
        const Outcome run = bexolog("download -o " + out(f + ".txt") + " --raw " + out(f + ".bin"));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<uint8_t> image = vfactory::logImage(storageOf(unit), identity_);
        EXPECT_TRUE(bytesOfFile(out(f + ".bin")) == image) << family;
        const size_t records = recorded::records(image).size();
        EXPECT_EQ(run.out, std::to_string(records) + " log records processed\nLog text: " + out(f + ".txt") +
                               "\nRaw image: " + out(f + ".bin") + "\n");
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%04X", family);
        const Outcome converted = bexolog("convert " + out(f + ".bin") + " --family " + hex + " -o " + out(f + ".conv"));
        ASSERT_EQ(converted.exitCode, 0) << converted.err;
        EXPECT_EQ(readFile(out(f + ".txt")), readFile(out(f + ".conv"))) << family;
        EXPECT_GT(readFile(out(f + ".txt")).size(), 1000u);
    }
}

TEST_F(UnitCommands, DownloadIntoAnExistingBexoLogBinAndExports) {
    const fs::path unit = makeUnit("a", 7);
    use({unit});
    {
        FILE* f = std::fopen(out("bexo-log.bin").c_str(), "wb");
        std::fputs("old", f);
        std::fclose(f);
    }
    const Outcome run = bexolog("download -o " + out("log.txt") + " -f gpx,csv --no-merge-dead");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(bytesOfFile(out("bexo-log.bin")) == vfactory::logImage(storageOf(unit), identity_));
    EXPECT_NE(run.out.find("Raw image: " + fs::absolute(out("bexo-log.bin")).string() + "\n"), std::string::npos);
    EXPECT_NE(run.out.find("gpx: "), std::string::npos);
    EXPECT_TRUE(fs::exists(out("log.gpx")));
    EXPECT_TRUE(fs::exists(out("log.csv")));
}

TEST_F(UnitCommands, DownloadAndClearLeavesEmptyLogFilesAndEveryOtherItem) {
    const fs::path unit = makeUnit("a", 7);
    use({unit});
    const vunit::Storage before = storageOf(unit);
    const Outcome run = bexolog("download -o " + out("log.txt") + " --clear");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\n481800 bytes available for new logs.\nLog file 1280: "), std::string::npos) << run.out;
    const vunit::Storage after = storageOf(unit);
    const auto dirBefore = *vfactory::readDirectory(before, identity_);
    const auto dirAfter = *vfactory::readDirectory(after, identity_);
    std::vector<uint16_t> sizes;
    auto entries = dirAfter.entries;
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    for (const auto& e : entries)
        if (e.type == vfactory::kLogFileType) sizes.push_back(e.size);
    std::vector<uint16_t> planned;
    std::vector<vfactory::DirEntry> others;
    for (const auto& e : dirBefore.entries)
        if (e.type != vfactory::kLogFileType) others.push_back(e);
    for (const auto& p : vfactory::planLogFiles(vunit::sectorMapOf(identity_), vunit::sectorCountOf(identity_), others))
        planned.push_back(p.size);
    EXPECT_EQ(sizes, planned);
    const std::vector<uint8_t> image = vfactory::logImage(after, identity_);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](uint8_t b) { return b == 0xFF; }));
    auto bytes = [](const vunit::Storage& s, const vfactory::DirEntry& e) {
        const auto& sector = s.sectors[e.address >> 16];
        return std::vector<uint8_t>(sector.begin() + (e.address & 0xFFFF), sector.begin() + (e.address & 0xFFFF) + e.size);
    };
    for (const auto& e : others) {
        const auto it = std::find_if(dirAfter.entries.begin(), dirAfter.entries.end(),
                                     [&](const auto& a) { return a.id == e.id && a.type == e.type; });
        ASSERT_NE(it, dirAfter.entries.end()) << e.id;
        EXPECT_EQ(bytes(after, *it), bytes(before, e)) << e.id;
    }
}

TEST_F(UnitCommands, ClearAsksOrNeedsYes) {
    const fs::path unit = makeUnit("a", 7);
    use({unit});
    const auto before = storageOf(unit).sectors;
    const std::string noAnswer = writeImage({}, ".in"); // stdin that is no terminal
    Outcome run = bexolog("clear <" + noAnswer);
    std::remove(noAnswer.c_str());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("add --yes"), std::string::npos);
    EXPECT_TRUE(storageOf(unit).sectors == before);
    run = bexolog("clear --yes");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n')), "481800 bytes available for new logs.");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 9);
    const auto image = vfactory::logImage(storageOf(unit), identity_);
    EXPECT_EQ(image.size(), 481800u);
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(UnitCommands, ConfigureWritesAndReadsBack) {
    const fs::path unit = makeUnit("a", 7, 0x8100, false);
    use({unit});
    Outcome run = bexolog("configure --volume high --battery-saver 1500");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Writing 00000000 to 37\n"
                       "Writing 00000002 to 6 (volume)\n"
                       "Writing 00000000 to 81\n"
                       "Writing 00000000 to 91\n"
                       "Writing 00000000 to 89\n"
                       "Writing 0000FD20 to 45\n"
                       "Volume:           high\n"
                       "Battery saver:    1080 minutes\n");
    EXPECT_NE(run.err.find("1080 minutes written"), std::string::npos);
    const auto ee = storageOf(unit).eeprom;
    EXPECT_EQ(ee[6], 2);
    EXPECT_EQ(ee[45], 0x20);
    EXPECT_EQ(ee[46], 0xFD);
    run = bexolog("configure");
    EXPECT_EQ(run.out, "Volume:           high\nBattery saver:    1080 minutes\n");
    run = bexolog("configure --volume medium");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("off, low and high"), std::string::npos);
}

TEST_F(UnitCommands, UnitsTheProgramDoesNotWorkWithAreRefused) {
    const fs::path unit = makeUnit("a", 7, 0x8400);
    use({unit});
    const auto before = storageOf(unit);
    for (const char* args : {"configure --volume low", "clear --yes"}) {
        const Outcome run = bexolog(args);
        EXPECT_EQ(run.exitCode, 1) << args;
        EXPECT_NE(run.err.find("not configurable (EEPROM family 0x8400)"), std::string::npos) << run.err;
    }
    const Outcome run = bexolog("download -o " + out("x.txt"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(storageOf(unit).sectors == before.sectors);
    EXPECT_TRUE(storageOf(unit).eeprom == before.eeprom);
}

TEST_F(UnitCommands, ChoosingAmongUnits) {
    use({makeUnit("a", 1), makeUnit("b", 2, 0x8100, false, vunit::Kind::Packet)});
    Outcome run = bexolog("status --serial 2");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Serial number:    00002\n"), std::string::npos);
    run = bexolog("status --unit 1");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Serial number:    00002\n"), std::string::npos);
    run = bexolog("dir --unit 0");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    run = bexolog("status --unit 2");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "bexolog status: there is no unit 2: 2 units could be opened\n");
    run = bexolog("info --serial 9");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "bexolog info: no unit with serial number 9 found\n");
    run = bexolog("status --unit 0 --serial 1");
    EXPECT_NE(run.exitCode, 0);
}

TEST_F(UnitCommands, DownloadAllIntoFilesNamedBySerialNumber) {
    const fs::path a = makeUnit("a", 1), b = makeUnit("b", 23, 0x8210);
    use({a, b});
    const Outcome run = bexolog("download --all -o " + (dir_ / "out").string());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2);
    EXPECT_EQ(run.out.rfind("00001: ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\n00023: "), std::string::npos) << run.out;
    int texts = 0, images = 0;
    for (const auto& entry : fs::directory_iterator(dir_ / "out")) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("bexo-00001-", 0) != 0 && name.rfind("bexo-00023-", 0) != 0) continue;
        texts += entry.path().extension() == ".txt" ? 1 : 0;
        images += entry.path().extension() == ".bin" ? 1 : 0;
        if (entry.path().extension() == ".bin") {
            const fs::path unit = name.rfind("bexo-00001-", 0) == 0 ? a : b;
            EXPECT_TRUE(bytesOfFile(entry.path()) == vfactory::logImage(storageOf(unit), identity_)) << name;
        }
    }
    EXPECT_EQ(texts, 2);
    EXPECT_EQ(images, 2);
}

TEST_F(UnitCommands, FailuresSayWhyAndExitNonZero) {
    const fs::path unit = makeUnit("a", 7);
    use({unit});
    Outcome run = bexolog("download -o " + (dir_ / "missing" / "x.txt").string());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("cannot write the log text"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");

    vunit::appendFault(unit, "unplug-after:3"); // pulled out as the refresh begins
    run = bexolog("status");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("Error: Could not communicate with Bexo!"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");

    use({dir_ / "none"});
    run = bexolog("download");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("bexolog download: no Bexo unit found."), std::string::npos);
}

#if !defined(_WIN32)
// Ctrl-C takes the dialog's Cancel: the command says what was kept and
// exits non-zero; the unit answers the next command.
TEST_F(UnitCommands, CtrlCCancelsTheDownload) {
    const fs::path unit = makeUnit("a", 7);
    {
        vunit::UnitFolder folder = vunit::loadUnitFolder(unit);
        folder.options.timing = true; // reads take the USB link's time
        vunit::saveConfig(unit, folder.identity, folder.options);
    }
    use({unit});
    const std::string err = base_ + ".err";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, (base_ + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string text = out("log.txt");
    char* argv[] = {const_cast<char*>(BEXOLOG_PATH), const_cast<char*>("download"), const_cast<char*>("-o"),
                    const_cast<char*>(text.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, BEXOLOG_PATH, &files, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&files);
    for (int i = 0; i < 2000 && readFile(err).find("log file 2 of 8") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_NE(readFile(err).find("cancelled: no log text or raw image was written"), std::string::npos) << readFile(err);
    EXPECT_FALSE(fs::exists(text));
    const Outcome after = bexolog("status");
    EXPECT_EQ(after.exitCode, 0) << after.err;
}
#endif

} // namespace
