// Log files planned as the export program plans them, laid out empty, filled
// from their start with logs of real tracks that decode back to the tracks.
#include "vfactory/layout.h"
#include "vfactory/logfiles.h"

#include "bexolog_parser.h"
#include "logimage/track.h"
#include "track/gpx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

namespace {

using vfactory::DirEntry;
using vfactory::PlannedFile;

std::array<uint8_t, vunit::kMaxSectors> sectorsPresent(int sectors) {
    std::array<uint8_t, vunit::kMaxSectors> map{};
    for (int s = 0; s < sectors; ++s) map[static_cast<std::size_t>(s)] = 1;
    return map;
}

std::vector<std::pair<int, int>> asPairs(const std::vector<PlannedFile>& plan) {
    std::vector<std::pair<int, int>> out;
    for (const PlannedFile& f : plan) out.emplace_back(f.sector, f.size);
    return out;
}

using Pairs = std::vector<std::pair<int, int>>;

TEST(LogFilePlan, TwentyThousandBytesOfSoundsInSectorZero) {
    // 32 sectors, 20000 bytes of sounds in sector 0.
    const std::vector<DirEntry> sounds = {{0, 0x14, 1, 12000}, {12000, 0x14, 2, 8000}};
    EXPECT_EQ(asPairs(vfactory::planLogFiles(sectorsPresent(32), 32, sounds)),
              (Pairs{{0, 42975}, {2, 62975}, {3, 62975}, {4, 62975}, {5, 62975}, {6, 62975}, {7, 62975}, {8, 60975}}));
}

TEST(LogFilePlan, EmptyUnitsAndTheLimits) {
    // The first empty sector stays free; the cap ends the files.
    EXPECT_EQ(asPairs(vfactory::planLogFiles(sectorsPresent(32), 32, {})),
              (Pairs{{1, 62975}, {2, 62975}, {3, 62975}, {4, 62975}, {5, 62975}, {6, 62975}, {7, 62975}, {8, 40975}}));
    // A small unit runs into its reserve before the cap.
    EXPECT_EQ(asPairs(vfactory::planLogFiles(sectorsPresent(4), 4, {})), (Pairs{{1, 62975}, {2, 62975}, {3, 51202}}));
    // 2688 bytes free leave 128 for a file: too small. 2689 leave 129.
    EXPECT_EQ(vfactory::planLogFiles(sectorsPresent(4), 4, {{0, 0x14, 1, 62847}}).front().sector, 2);
    EXPECT_EQ(asPairs(vfactory::planLogFiles(sectorsPresent(4), 4, {{0, 0x14, 1, 62846}})).front(), (std::pair<int, int>{0, 129}));
    // Absent sectors get nothing, and only the present ones count.
    auto map = sectorsPresent(0);
    map[64] = map[65] = map[66] = 1;
    EXPECT_EQ(asPairs(vfactory::planLogFiles(map, 256, {})), (Pairs{{65, 62975}, {66, 49409}}));
}

TEST(LogFiles, LaidOutEmptyAfterTheItemsWithRisingIds) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    vunit::Storage st = vfactory::buildUnit(d);
    const auto files = vfactory::layOutLogFiles(st, d.identity);
    ASSERT_EQ(files.size(), 8u);
    EXPECT_EQ(files[0].address, 20000u);
    EXPECT_EQ(files[1].address, 0x00020000u);
    std::size_t total = 0;
    for (std::size_t k = 0; k < files.size(); ++k) {
        EXPECT_EQ(files[k].type, 0x60);
        EXPECT_EQ(files[k].id, 1280 + k);
        total += files[k].size;
    }
    EXPECT_EQ(total, 481800u);
    const auto dir = vfactory::readDirectory(st, d.identity);
    ASSERT_TRUE(dir);
    ASSERT_EQ(dir->entries.size(), 11u);
    EXPECT_EQ(std::vector<DirEntry>(dir->entries.begin() + 3, dir->entries.end()), files);
    const std::vector<uint8_t> image = vfactory::logImage(st, d.identity);
    EXPECT_EQ(image, std::vector<uint8_t>(481800, 0xFF));
    EXPECT_THROW(vfactory::layOutLogFiles(st, d.identity), std::invalid_argument);

    d.logFiles = true; // the same through the description
    EXPECT_EQ(vfactory::logFiles(vfactory::buildUnit(d), d.identity), files);
}

// --- filling from tracks ---------------------------------------------------

std::vector<logimage::Fix> fixesOf(const std::string& name) {
    track::Gpx gpx;
    std::string error;
    const std::string path = std::string(BEXO_TEST_DATA) + "/tracks/" + name;
    EXPECT_TRUE(track::readGpxFile(path, gpx, error)) << path << ": " << error;
    return track::toFixes(gpx);
}

std::vector<LogRecord> decode(const std::vector<uint8_t>& image) {
    int count = 0;
    parselog(image.data(), static_cast<int>(image.size()), nullptr, &count);
    std::vector<LogRecord> records(static_cast<std::size_t>(count));
    if (count > 0) parselog(image.data(), static_cast<int>(image.size()), records.data(), &count);
    return records;
}

// Each record stands for a fix of its second, and each second with a fix
// has its record, in time order.
void expectRecordsAreTheTrack(const std::vector<LogRecord>& records, const std::vector<logimage::Fix>& fixes) {
    std::multimap<int64_t, logimage::Fix> bySecond;
    for (const auto& f : fixes) bySecond.emplace(f.time, f);
    std::set<int64_t> seconds;
    for (const auto& [t, f] : bySecond) seconds.insert(t);
    ASSERT_EQ(records.size(), seconds.size());
    auto second = seconds.begin();
    for (const LogRecord& r : records) {
        const int64_t t = r.time;
        EXPECT_EQ(t, *second++);
        const auto [from, to] = bySecond.equal_range(t);
        bool matched = false;
        for (auto it = from; it != to; ++it) {
            const logimage::Fix& f = it->second;
            matched |= std::abs(r.latitude - f.latitude) < 2e-5 && std::abs(r.longitude - f.longitude) < 2e-5 &&
                       std::abs(r.speed - f.speedKmh) < 0.2;
        }
        EXPECT_TRUE(matched) << "record at " << t << ": " << r.latitude << ", " << r.longitude << ", " << r.speed;
    }
}

TEST(LogFiles, FilledWithSharedTracksTheyDecodeBackToThem) {
    const vfactory::UnitDescription d = vfactory::defaultDescription();
    vunit::Storage st = vfactory::buildUnit(d);
    vfactory::layOutLogFiles(st, d.identity);
    const auto a = fixesOf("logger-a.gpx");
    const auto b = fixesOf("logger-b.gpx");
    ASSERT_EQ(a.size(), 395u);
    ASSERT_FALSE(b.empty());
    const auto imageA = logimage::encodeTrack(a);
    const auto imageB = logimage::encodeTrack(b);

    EXPECT_EQ(vfactory::appendLog(st, d.identity, imageA), 0u);
    EXPECT_EQ(vfactory::appendLog(st, d.identity, imageB), imageA.size());
    EXPECT_EQ(vfactory::logSpace(st, d.identity).used, imageA.size() + imageB.size());
    EXPECT_TRUE(st.dirtySectors[0]);

    const auto records = decode(vfactory::logImage(st, d.identity));
    ASSERT_EQ(records.size(), decode(imageA).size() + decode(imageB).size());
    expectRecordsAreTheTrack(std::vector<LogRecord>(records.begin(), records.begin() + static_cast<long>(decode(imageA).size())), a);
    expectRecordsAreTheTrack(std::vector<LogRecord>(records.begin() + static_cast<long>(decode(imageA).size()), records.end()), b);
}

TEST(LogFiles, ALogRunsOnAcrossFileEndsInDirectoryOrder) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.items.push_back({0x14, 4, std::vector<uint8_t>(40000, 0x80), 0}); // sector 0 keeps a 2975-byte log file
    d.logFiles = true;
    vunit::Storage st = vfactory::buildUnit(d);
    const auto files = vfactory::logFiles(st, d.identity);
    ASSERT_EQ(files.front().size, 2975);

    const auto a = fixesOf("logger-a.gpx");
    const auto image = logimage::encodeTrack(a);
    ASSERT_GT(image.size(), files[0].size + 0u);
    vfactory::appendLog(st, d.identity, image);
    // The first file is written to its last byte, the rest goes on in the next one.
    const auto& s0 = st.sectors[0];
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + files[0].size, s0.begin() + vfactory::offsetOf(files[0].address)));
    EXPECT_EQ(st.sectors[2][0], image[files[0].size]);
    expectRecordsAreTheTrack(decode(vfactory::logImage(st, d.identity)), a);

    // What does not fit is refused whole.
    const auto before = vfactory::logImage(st, d.identity);
    const std::vector<uint8_t> huge(vfactory::logSpace(st, d.identity).capacity, 0x01);
    EXPECT_THROW(vfactory::appendLog(st, d.identity, huge), std::invalid_argument);
    EXPECT_EQ(vfactory::logImage(st, d.identity), before);
}

TEST(LogFiles, RemovingThemErasesTheirBytesAndPacksTheOtherItems) {
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.logFiles = true;
    vunit::Storage st = vfactory::buildUnit(d);
    vfactory::appendLog(st, d.identity, logimage::encodeTrack(fixesOf("logger-a.gpx")));
    // A sound behind a log file in sector 3, as a rotation might leave it.
    auto dir = *vfactory::readDirectory(st, d.identity);
    const DirEntry log3 = dir.entries[5];
    ASSERT_EQ(vfactory::sectorOf(log3.address), 3);
    std::fill_n(st.sectors[3].begin() + log3.size, 100, uint8_t{0x42});
    dir.entries.push_back({vfactory::flashAddress(3, log3.size), 0x14, 9, 100});
    vfactory::rewriteDirectory(st, dir);

    vfactory::removeLogFiles(st, d.identity);
    dir = *vfactory::readDirectory(st, d.identity);
    ASSERT_EQ(dir.entries.size(), 4u);
    EXPECT_EQ(dir.entries[3].address, 0x00030000u); // moved down to offset 0
    EXPECT_EQ(st.sectors[3][0], 0x42);
    EXPECT_EQ(st.sectors[3][100], 0xFF);
    EXPECT_TRUE(std::all_of(st.sectors[2].begin(), st.sectors[2].end(), [](uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(std::all_of(st.sectors[0].begin() + 20000, st.sectors[0].begin() + 0xFF00, [](uint8_t b) { return b == 0xFF; }));
    EXPECT_TRUE(vfactory::logFiles(st, d.identity).empty());
    EXPECT_EQ(vfactory::layOutLogFiles(st, d.identity).size(), 8u); // a fresh log space again
}

} // namespace
