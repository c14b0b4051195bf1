// The writers' pieces that no outside tool checks closely enough: times,
// quoting and escaping, identifiers, the temporary files, and the picture's
// layout. Runs in the Windows build too.
#include "csvtext.h"
#include "dwc.h"
#include "exports.h"
#include "pendingfile.h"
#include "picture.h"
#include "timetext.h"
#include "xmltext.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int32_t kT = 1205849947; // 2008-03-18T14:19:07Z

LogRecord at(int32_t time, float latitude, float longitude, uint8_t flags = 0) {
    return LogRecord{time, latitude, longitude, 36.0f, 50, flags};
}

// Writes with `write` into a file and returns its bytes.
template <typename Write>
std::string written(Write write) {
    const std::string path = std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".out";
    FILE* f = std::fopen(path.c_str(), "w+b");
    if (f == nullptr) return "<cannot write>";
    {
        TextSink sink(f);
        write(sink);
        EXPECT_TRUE(sink.flush());
    }
    std::rewind(f);
    std::string text;
    for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) text += static_cast<char>(c);
    std::fclose(f);
    std::remove(path.c_str());
    return text;
}

void useZone(const char* tz) {
#if defined(_WIN32)
    _putenv_s("TZ", tz);
    _tzset();
#else
    setenv("TZ", tz, 1);
    tzset();
#endif
}

TEST(TimeText, UtcAcrossTheCalendar) {
    EXPECT_EQ(isoUtc(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(isoUtc(kT), "2008-03-18T14:19:07Z");
    EXPECT_EQ(isoUtc(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(isoUtc(INT32_MAX), "2038-01-19T03:14:07Z");
    EXPECT_EQ(isoUtc(4102444799), "2099-12-31T23:59:59Z");
    EXPECT_EQ(isoUtcDate(kT), "2008-03-18");
    for (int64_t days : {0, 59, 60, 365, 11016, 24837, 47481}) {
        int64_t y = 0;
        unsigned m = 0, d = 0;
        civilFromDays(days, y, m, d);
        EXPECT_EQ(daysFromCivil(y, m, d), days);
    }
}

TEST(TimeText, LocalTimeCarriesItsOffset) {
    useZone("UTC0");
    EXPECT_EQ(isoLocal(kT), "2008-03-18T14:19:07+00:00");
#if defined(_WIN32)
    useZone("MST7MDT"); // the Windows C library's US daylight-saving dates
#else
    useZone("America/Edmonton");
#endif
    EXPECT_EQ(isoLocal(kT), "2008-03-18T08:19:07-06:00");
    EXPECT_EQ(isoLocal(1200398400), "2008-01-15T05:00:00-07:00");
    LocalClock clock;
    char text[kIsoLocalLength];
    // Across the change to daylight saving, 2008-03-09 09:00 UTC.
    ASSERT_TRUE(writeIsoLocal(clock, 1205053199, text));
    EXPECT_EQ(std::string(text, sizeof text), "2008-03-09T01:59:59-07:00");
    ASSERT_TRUE(writeIsoLocal(clock, 1205053200, text));
    EXPECT_EQ(std::string(text, sizeof text), "2008-03-09T03:00:00-06:00");
    useZone("IST-5:30");
    EXPECT_EQ(isoLocal(kT), "2008-03-18T19:49:07+05:30");
    useZone("UTC0");
}

TEST(TimeZones, KnownZonesAreTakenOthersRefused) {
    std::string error;
    constexpr int32_t kJanuary = 1200398400; // 2008-01-15T12:00:00Z; no daylight saving anywhere north
    EXPECT_TRUE(useTimeZone("CET-1CEST", error)) << error;
    EXPECT_EQ(isoLocal(kJanuary), "2008-01-15T13:00:00+01:00");
    EXPECT_FALSE(useTimeZone("Mars/Olympus_Mons", error));
    EXPECT_NE(error.find("Mars/Olympus_Mons"), std::string::npos);
    EXPECT_EQ(isoLocal(kJanuary), "2008-01-15T13:00:00+01:00"); // unchanged
    EXPECT_FALSE(useTimeZone("", error));
    EXPECT_FALSE(useTimeZone("../../etc/passwd", error));
#if !defined(_WIN32)
    EXPECT_TRUE(useTimeZone("Asia/Kolkata", error)) << error;
    EXPECT_EQ(isoLocal(kT), "2008-03-18T19:49:07+05:30");
    EXPECT_TRUE(useTimeZone("<+0330>-3:30", error)) << error;
#else
    EXPECT_FALSE(useTimeZone("Asia/Kolkata", error));
    EXPECT_NE(error.find("MST7MDT"), std::string::npos) << error;
#endif
    useZone("UTC0");
}

TEST(Escaping, CsvXmlAndCommandLineText) {
    EXPECT_EQ(written([](TextSink& s) {
                  putCsvField(s, "plain");
                  s.put(',');
                  putCsvField(s, "a,b");
                  s.put(',');
                  putCsvField(s, "say \"hi\"");
                  s.put(',');
                  putCsvField(s, "two\r\nlines");
              }),
              "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\"");
    EXPECT_EQ(xmlEscaped("<a href='x'>&\"</a>"), "&lt;a href=&apos;x&apos;&gt;&amp;&quot;&lt;/a&gt;");
    EXPECT_EQ(cleanText("Jos\xC3\xA9 \xE2\x80\x93 ok"), "Jos\xC3\xA9 \xE2\x80\x93 ok");
    EXPECT_EQ(cleanText("Jos\xE9"), "Jos\xEF\xBF\xBD");        // Latin-1, from a Windows command line
    EXPECT_EQ(cleanText("a\x01" "b\tc"), "a\xEF\xBF\xBD" "b c"); // no control characters in XML
    EXPECT_EQ(cleanText("\xC0\xAF\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(cleanText("\xF0\x9F\xA6\x8C"), "\xF0\x9F\xA6\x8C"); // a deer
}

TEST(Numbers, DecimalPointsAndRounding) {
    EXPECT_EQ(written([](TextSink& s) { s.fixed(49.125004, 6).put(' ').fixed(-112.0625, 6).put(' ').fixed(-0.0000004, 6); }),
              "49.125004 -112.062500 -0.000000");
    EXPECT_EQ(fixedText(static_cast<double>(49.412345f), 6), "49.412346");
    EXPECT_EQ(written([](TextSink& s) { s.integer(LLONG_MIN).put(' ').isoUtc(kT); }),
              "-9223372036854775808 2008-03-18T14:19:07Z");
    // Longer than the buffer's spare room: written whole, in order.
    const std::string big(200000, 'x');
    EXPECT_EQ(written([&](TextSink& s) { s.put("a").put(big).put("b"); }), "a" + big + "b");
}

struct Planned {
    std::vector<LogRecord> records;
    LogPlan plan;
    ExportOptions options;
    ExportInput input() const { return ExportInput{records.data(), records.size(), plan, options}; }
};

Planned planned(std::vector<LogRecord> records, uint16_t family = 0x8200) {
    Planned p;
    p.records = std::move(records);
    p.options.family = family;
    p.plan = planLog(p.records.data(), p.records.size(), PlanOptions{layoutForFamily(family), {}, 300});
    return p;
}

TEST(Gpx, TheAntimeridianIsWrittenAsMinus180) {
    const Planned p = planned({at(kT, 10, 180.0f), at(kT + 1, 10, 179.9999999f), at(kT + 2, 10, -179.5f)});
    const std::string gpx = written([&](TextSink& s) { writeGpx(p.input(), s); });
    EXPECT_EQ(gpx.find("lon=\"180"), std::string::npos) << gpx;
    EXPECT_NE(gpx.find("<trkpt lat=\"10.000000\" lon=\"-180.000000\">"), std::string::npos) << gpx;
}

TEST(DarwinCore, OccurrenceIdsAreStableAndUnique) {
    const uint8_t crossing = 5 * 2 + 1;
    // The same observation logged twice, and merging turned off: two occurrences.
    Planned p = planned({at(kT, 49.5f, -112.25f, crossing), at(kT + 100, 49.6f, -112.25f, crossing),
                         at(kT, 49.5f, -112.25f, crossing)});
    const std::string csv = written([&](TextSink& s) { writeDwcCsv(p.input(), s); });
    const std::string id = "urn:bexo:occurrence:20080318T141907Z:49.500000:-112.250000:5";
    EXPECT_NE(csv.find("\r\n" + id + ",HumanObservation,2008-03-18T14:19:07Z,49.500000,-112.250000,WGS84,30,"
                       "wildlife crossing,,,Animalia,Animalia,kingdom\r\n"),
              std::string::npos)
        << csv;
    EXPECT_NE(csv.find("\r\n" + id + ":2,"), std::string::npos) << csv;
    EXPECT_EQ(written([&](TextSink& s) { writeDwcCsv(p.input(), s); }), csv); // the same again
    // More log after it leaves its identifiers as they were.
    Planned longer = planned({at(kT - 500, 49.5f, -112.25f, crossing), at(kT, 49.5f, -112.25f, crossing)});
    EXPECT_NE(written([&](TextSink& s) { writeDwcCsv(longer.input(), s); }).find("\r\n" + id + ",Human"),
              std::string::npos);
    EXPECT_NE(dwcEmlXml(p.input()).find("packageId=\"bexo-"), std::string::npos);
    EXPECT_EQ(dwcEmlXml(p.input()), dwcEmlXml(planned(p.records).input()));
}

TEST(PendingFiles, NothingShowsUntilCommittedAndDiscardLeavesNothing) {
    namespace fs = std::filesystem;
    const std::string target = "pending_target.txt";
    fs::remove(target);
    {
        FILE* f = std::fopen(target.c_str(), "wb");
        std::fputs("old", f);
        std::fclose(f);
    }
    std::string error;
    PendingFile p;
    ASSERT_TRUE(createPendingFile(target, p, error)) << error;
    std::fputs("new", p.file);
    EXPECT_TRUE(fs::exists(p.temporary));
    EXPECT_EQ(fs::file_size(target), 3u);
    ASSERT_TRUE(closePendingFile(p, error)) << error;
    ASSERT_TRUE(commitPendingFile(p, error)) << error; // replaces the old file, on Windows too
    {
        FILE* f = std::fopen(target.c_str(), "rb");
        char text[8] = {};
        ASSERT_EQ(std::fread(text, 1, sizeof text, f), 3u);
        std::fclose(f);
        EXPECT_STREQ(text, "new");
    }
    PendingFile q;
    ASSERT_TRUE(createPendingFile(target, q, error));
    const std::string temporary = q.temporary;
    discardPendingFile(q);
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_FALSE(createPendingFile("no_such_folder/x.txt", q, error));
    EXPECT_NE(error.find("no_such_folder/x.txt"), std::string::npos);
    fs::remove(target);
}

#if defined(__linux__)
TEST(PendingFiles, AFullDiskIsAnErrorNotASuccess) {
    FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    TextSink sink(full);
    sink.put(std::string(100000, 'x'));
    EXPECT_FALSE(sink.flush());
    std::fclose(full);
}
#endif

TEST(ExportLog, RefusesWhatItCannotWriteBeforeWritingAnything) {
    const std::vector<LogRecord> none;
    ExportResult r = exportLog(none.data(), 0, {}, {{ExportFormat::Gpx, "never.gpx"}});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "the log holds no records");
    const std::vector<LogRecord> invalid{at(-1, 10, 10), at(kT, 95, 10)};
    r = exportLog(invalid.data(), invalid.size(), {}, {{ExportFormat::Text, "never.txt"}, {ExportFormat::Kml, "never.kml"}});
    EXPECT_EQ(r.error, "none of the 2 records has a valid time and position");
    r = exportLog(invalid.data(), invalid.size(), {}, {{ExportFormat::Gpx, "same"}, {ExportFormat::Kml, "same"}});
    EXPECT_EQ(r.error, "two formats would write the same file 'same'");
    EXPECT_FALSE(std::filesystem::exists("never.txt"));
    EXPECT_FALSE(std::filesystem::exists("never.kml"));
    // The text layout prints such records as they are: alone it is written.
    r = exportLog(invalid.data(), invalid.size(), {}, {{ExportFormat::Text, "invalid.txt"}});
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(std::filesystem::remove("invalid.txt"));
}

TEST(Picture, ScaleBarIsARoundLengthAndTheTrackIsThinned) {
    std::vector<LogRecord> records;
    for (int i = 0; i < 2000; ++i) records.push_back(at(kT + i, 45.0f + static_cast<float>(i) * 1e-6f, 8.0f));
    records.push_back(at(kT + 2000, 45.01f, 8.01f, 19 * 2 + 1));
    const Planned p = planned(records);
    const Picture pic = planPicture(p.input());
    ASSERT_EQ(pic.lines.size(), 1u);
    EXPECT_LT(pic.lines[0].size(), 700u); // 2001 points along about 650 pixels
    EXPECT_GT(pic.lines[0].size(), 50u);
    EXPECT_EQ(pic.scaleLabel, "200 m");
    EXPECT_GT(pic.scaleLength, 80);
    EXPECT_LE(pic.scaleLength, 200);
    ASSERT_EQ(pic.markers.size(), 1u);
    ASSERT_EQ(pic.legend.size(), 1u);
    EXPECT_EQ(pic.legend[0].label, "dead wildlife (1)");
    for (const auto& point : pic.lines[0]) {
        EXPECT_GE(point.x, 0);
        EXPECT_LE(point.x, pic.width);
        EXPECT_GE(point.y, 0);
        EXPECT_LE(point.y, pic.height);
    }
}

TEST(Picture, ADriveAcross180DegreesStaysTogether) {
    const Planned p = planned({at(kT, -17.0f, 179.99f), at(kT + 1, -17.0f, -179.99f)});
    const Picture pic = planPicture(p.input());
    ASSERT_EQ(pic.lines.size(), 1u);
    ASSERT_EQ(pic.lines[0].size(), 2u);
    EXPECT_GT(pic.lines[0][1].x, pic.lines[0][0].x); // eastwards, 2 km, not round the earth
    EXPECT_EQ(pic.scaleLabel, "200 m");
    // One point only: a dot in the middle, and still a scale.
    const Planned one = planned({at(kT, 60.0f, 25.0f)});
    const Picture dot = planPicture(one.input());
    ASSERT_EQ(dot.lines.size(), 1u);
    EXPECT_EQ(dot.lines[0].size(), 1u);
    EXPECT_FALSE(dot.scaleLabel.empty());
    EXPECT_NE(dot.title.find("2008-03-18 14:19"), std::string::npos) << dot.title;
}

} // namespace
