// bexo-sim end to end: each command run as its own process on a temporary
// unit folder, its effect read back from the folder.
#include "run_sim.h"
#include "scratch_dir.h"

#include "bexolog_parser.h"
#include "vfactory/directory.h"
#include "vfactory/logfiles.h"
#include "vstore/armed_faults.h"
#include "vstore/folder.h"
#include "vstore/lock.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

std::string track(const std::string& name) { return quoted(fs::path(BEXO_TEST_DATA) / "tracks" / name); }

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

SimResult ok(const std::string& args) {
    SimResult r = runSim(args);
    EXPECT_EQ(r.exitCode, 0) << args << "\n" << r.err;
    return r;
}

void refused(const std::string& args, const std::string& why) {
    const SimResult r = runSim(args);
    EXPECT_NE(r.exitCode, 0) << args;
    EXPECT_TRUE(contains(r.err + r.out, why)) << args << "\nstderr: " << r.err << "\nstdout: " << r.out;
}

std::vector<LogRecord> records(const fs::path& dir) {
    const vunit::UnitFolder u = vunit::loadUnitFolder(dir);
    const std::vector<uint8_t> image = vfactory::logImage(u.storage, u.identity);
    int count = 0;
    parselog(image.data(), static_cast<int>(image.size()), nullptr, &count);
    std::vector<LogRecord> out(static_cast<std::size_t>(count));
    if (count > 0) parselog(image.data(), static_cast<int>(image.size()), out.data(), &count);
    return out;
}

TEST(BexoSim, CreateMakesTheStockUnitAndShowDescribesIt) {
    ScratchDir scratch("simcreate");
    const fs::path dir = scratch / "unit";
    ok("create " + quoted(dir));
    const vunit::UnitFolder u = vunit::loadUnitFolder(dir);
    EXPECT_EQ(u.identity.kind, vunit::Kind::Stream);
    EXPECT_EQ(u.identity.chipCode, 20);
    EXPECT_EQ(u.identity.cpuId, 0x1087);
    EXPECT_EQ(u.identity.firmwareMajor, 1);
    EXPECT_EQ(u.identity.firmwareMinor, 29);
    EXPECT_EQ(u.storage.eeprom[1], 0x81);
    const auto directory = vfactory::readDirectory(u.storage, u.identity);
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->entries.size(), 3u);

    const SimResult show = ok("show " + quoted(dir));
    for (const char* part : {"PIC18F4520", "main 1.29", "present 0-31", "family 0x8100", "volume low",
                             "Directory in sector 0, 3 entries", "0x14  00001388  2            7000",
                             "45280  (directory 256)", "Log files   0"})
        EXPECT_TRUE(contains(show.out, part)) << part << "\n" << show.out;

    refused("create " + quoted(dir), "already holds a unit");
}

TEST(BexoSim, CreateTakesTheIdentityFromOptions) {
    ScratchDir scratch("simcreateopts");
    const fs::path dir = scratch / "unit";
    ok("create " + quoted(dir) +
       " --kind packet --chips 20,0,0,17 --cpu 0x0C45 --firmware 31.2 --usb 2.0 --family 0x8210 --serial 77 "
       "--vendor 0x4242 --seed 9 --log-files");
    const vunit::UnitFolder u = vunit::loadUnitFolder(dir);
    EXPECT_EQ(u.identity.kind, vunit::Kind::Packet);
    EXPECT_EQ(u.identity.chipCode, 0xAA);
    EXPECT_EQ(u.identity.chips, (std::array<uint8_t, 4>{20, 0, 0, 17}));
    EXPECT_EQ(u.identity.cpuId, 0x0C45);
    EXPECT_EQ(u.identity.firmwareMajor, 31);
    EXPECT_EQ(u.identity.firmwareMinor, 2);
    EXPECT_EQ(u.identity.usbMajor, 2);
    EXPECT_EQ(u.identity.vendorId, 0x4242);
    EXPECT_EQ(u.identity.seed, 9u);
    EXPECT_EQ(u.storage.eeprom[0], 0x10);
    EXPECT_EQ(u.storage.eeprom[1], 0x82);
    EXPECT_EQ(u.storage.eeprom[2], 77);
    EXPECT_FALSE(vfactory::logFiles(u.storage, u.identity).empty());
    EXPECT_TRUE(contains(ok("show " + quoted(dir)).out, "present 0-31, 192-195"));
}

TEST(BexoSim, BadInputIsRefusedClearly) {
    ScratchDir scratch("simbad");
    const fs::path dir = scratch / "unit";
    refused("create " + quoted(dir) + " --chip abc", "--chip");
    refused("create " + quoted(dir) + " --firmware 1", "--firmware");
    refused("create " + quoted(dir) + " --kind usb", "--kind");
    refused("create " + quoted(dir) + " --chip 20 --chips 20,20,0,0", "excludes");
    refused("create " + quoted(dir) + " --chips 20,20", "four chip codes");
    refused("create " + quoted(dir) + " --chip 3", "cannot lay out"); // no flash at all
    EXPECT_FALSE(vunit::isUnitFolder(dir));
    refused("show " + quoted(dir), "holds no virtual unit");
    refused("frobnicate " + quoted(dir), "subcommand");
}

TEST(BexoSim, AddLogsLaysOutLogFilesAndAppendsEachTrack) {
    ScratchDir scratch("simlogs");
    const fs::path dir = scratch / "unit";
    ok("create " + quoted(dir));
    const SimResult first = ok("add-logs " + quoted(dir) + " " + track("logger-a.gpx"));
    EXPECT_TRUE(contains(first.out, "laid out 8 empty log files")) << first.out;
    const auto logA = records(dir);
    EXPECT_EQ(logA.size(), 395u);

    const SimResult second = ok("add-logs " + quoted(dir) + " " + track("logger-b.gpx"));
    EXPECT_FALSE(contains(second.out, "laid out")) << second.out;
    const auto all = records(dir);
    ASSERT_GT(all.size(), logA.size());
    // The second track goes on after the first, which stays as it was.
    // Packed records: copy fields out before gtest binds references to them.
    EXPECT_EQ(int32_t{all[logA.size() - 1].time}, int32_t{logA.back().time});
    EXPECT_EQ(int32_t{all[logA.size()].time}, 1091849348); // logger-b's first point, 2004-08-07 03:29:08 UTC
    EXPECT_TRUE(contains(ok("show " + quoted(dir)).out, "Log files   8, 481800 bytes"));

    // log-image writes what the export program would download; clear-logs empties it.
    const fs::path image = scratch / "bexo-log.bin";
    ok("log-image " + quoted(dir) + " " + quoted(image));
    EXPECT_EQ(fs::file_size(image), 481800u);
    ok("clear-logs " + quoted(dir));
    EXPECT_TRUE(records(dir).empty());
    const vunit::UnitFolder u = vunit::loadUnitFolder(dir);
    EXPECT_EQ(vfactory::logFiles(u.storage, u.identity).size(), 8u);
}

TEST(BexoSim, AddLogsMarksObservationsFromWaypoints) {
    ScratchDir scratch("simwpt");
    const fs::path dir = scratch / "unit";
    const fs::path gpx = scratch / "drive.gpx";
    std::ofstream(gpx) << R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
  <wpt lat="45.4210" lon="-75.6900"><name>Dead deer</name></wpt>
  <wpt lat="45.4230" lon="-75.6900"><type>5</type></wpt>
  <trk><trkseg>
    <trkpt lat="45.4200" lon="-75.6900"><time>2024-06-14T12:00:00Z</time></trkpt>
    <trkpt lat="45.4210" lon="-75.6900"><time>2024-06-14T12:00:01Z</time></trkpt>
    <trkpt lat="45.4220" lon="-75.6900"><time>2024-06-14T12:00:02Z</time></trkpt>
    <trkpt lat="45.4230" lon="-75.6900"><time>2024-06-14T12:00:03Z</time></trkpt>
  </trkseg></trk>
</gpx>
)";
    ok("create " + quoted(dir));
    ok("add-logs " + quoted(dir) + " " + quoted(gpx) + " --speed-limit 80");
    const auto recs = records(dir);
    ASSERT_EQ(recs.size(), 4u);
    EXPECT_EQ(recs[1].flags >> 1, 19); // dead wildlife
    EXPECT_EQ(recs[3].flags >> 1, 5);  // wildlife crossing
    EXPECT_EQ(recs[0].flags >> 1, 0);
    EXPECT_EQ(recs[0].speedLimit, 80);

    const auto before = records(dir).size();
    std::ofstream(scratch / "broken.gpx") << "<gpx><trk><trkseg><trkpt lat=\"1\"";
    refused("add-logs " + quoted(dir) + " " + quoted(gpx) + " " + quoted(scratch / "broken.gpx"), "broken.gpx");
    refused("add-logs " + quoted(dir) + " " + quoted(scratch / "missing.gpx"), "missing.gpx");
    refused("add-logs " + quoted(dir) + " " + quoted(gpx) + " --family 2", "--family");
    EXPECT_EQ(records(dir).size(), before); // nothing of a failed run is kept
}

TEST(BexoSim, EepromDumpsAndChangesBytes) {
    ScratchDir scratch("simee");
    const fs::path dir = scratch / "unit";
    ok("create " + quoted(dir) + " --serial 4660");
    EXPECT_TRUE(contains(ok("eeprom " + quoted(dir)).out, "00: 00 81 34 12 00 00 01"));
    const SimResult set = ok("eeprom " + quoted(dir) + " --set 6=2 --set 0x2D=0x08");
    EXPECT_TRUE(contains(set.out, "00: 00 81 34 12 00 00 02")) << set.out;
    const vunit::UnitFolder u = vunit::loadUnitFolder(dir);
    EXPECT_EQ(u.storage.eeprom[6], 2);
    EXPECT_EQ(u.storage.eeprom[45], 0x08);
    refused("eeprom " + quoted(dir) + " --set 256=1", "ADDR=BYTE");
    refused("eeprom " + quoted(dir) + " --set 6", "ADDR=BYTE");
    EXPECT_EQ(vunit::loadUnitFolder(dir).storage.eeprom, u.storage.eeprom);
}

TEST(BexoSim, FaultsAndRunOptionsAreKeptInTheFolder) {
    ScratchDir scratch("simfault");
    const fs::path dir = scratch / "unit";
    ok("create " + quoted(dir));
    ok("fault " + quoted(dir) + " late-response:7000 wrong-code");
    ok("fault " + quoted(dir) + " drop-response");
    refused("fault " + quoted(dir) + " explode", "not understood");
    EXPECT_EQ(vunit::pendingFaults(dir), (std::vector<std::string>{"late-response:7000 wrong-code", "drop-response"}));
    EXPECT_TRUE(contains(ok("show " + quoted(dir)).out, "late-response:7000 wrong-code; drop-response"));

    ok("timing " + quoted(dir) + " on");
    ok("trace " + quoted(dir) + " wire.txt");
    vunit::UnitFolder u = vunit::loadUnitFolder(dir);
    EXPECT_TRUE(u.options.timing);
    EXPECT_EQ(u.options.tracePath, "wire.txt");
    ok("trace " + quoted(dir) + " off");
    EXPECT_EQ(vunit::loadUnitFolder(dir).options.tracePath, "");
    refused("timing " + quoted(dir) + " maybe", "maybe");
}

TEST(BexoSim, AUnitInUseIsLeftAloneButCanBeShown) {
    ScratchDir scratch("siminuse");
    const fs::path dir = scratch / "unit";
    ok("create " + quoted(dir));
    vunit::FolderLock held = vunit::tryLockUnitFolder(dir);
    ASSERT_TRUE(held.held());
    refused("add-logs " + quoted(dir) + " " + track("logger-a.gpx"), "in use");
    refused("eeprom " + quoted(dir) + " --set 6=0", "in use");
    refused("clear-logs " + quoted(dir), "in use");
    ok("show " + quoted(dir));
    vunit::releaseLock(held);
    ok("eeprom " + quoted(dir) + " --set 6=0");
}

} // namespace
