// What every layout shares: date and time, position, line ends.
#include "textexport_support.h"

#include <climits>

namespace {

using LineForm = TextExportTest;

TEST_F(LineForm, ExampleRecordGivesTheDocumentedLine) {
    // The floats nearest 49.412345 and -112.901234 are 49.41234588... and
    // -112.90123748...; widening is exact, so six decimals show the floats.
    EXPECT_EQ(capture([](FILE* f) {
                  LogRecord r = record(kMarch18, 0x41, 49.412345f, -112.901234f);
                  writeLogText(&r, 1, f);
              }),
              "2008/03/18  14:19:07  49.412346  -112.901237  0 1 0\r\n");
    EXPECT_EQ(write({record(kMarch18, 0x41, 49.5f, -112.0625f)})[0],
              "2008/03/18  14:19:07  49.500000  -112.062500  0 1 0");
}

TEST_F(LineForm, NegativeTimePrintsDashesButKeepsPositionAndColumns) {
    const std::string dashed = "----/--/--  --:--:--  49.500000  -112.250000  ";
    EXPECT_EQ(write({record(-1, 0xE0), record(INT32_MIN + 100, 0), record(0, 0)}),
              (std::vector<std::string>{dashed + "1 1 1", dashed + "0 0 0",
                                        "1970/01/01  00:00:00  49.500000  -112.250000  0 0 0"}));
    eeFamily = 0x8200;
    EXPECT_EQ(write({record(-1, observation(3))})[0], dashed + codedColumns({3}));
    eeFamily = 0x8210;
    EXPECT_EQ(write({record(-1, observation(3))})[0], dashed + groupedColumns({3}));
}

TEST_F(LineForm, EmptyArrayWritesNothingInAnyLayout) {
    for (const uint16_t family : {uint16_t{0x8100}, uint16_t{0x8200}, uint16_t{0x8210}}) {
        eeFamily = family;
        EXPECT_EQ(capture([](FILE* f) { writeLogTextForFamily(nullptr, 0, f); }), "") << family;
    }
}

// Each write reads the time zone again, so changing TZ between writes shows.
// glibc knows the tz database names. The Windows C runtime (and Wine's, which
// runs these tests for Windows builds) only knows "NAME[+|-]h[:mm][DSTNAME]"
// with US daylight-saving dates, and takes "America/Edmonton" for UTC with
// daylight saving; there the same rules are named in its own notation.
#if defined(_WIN32)
constexpr const char* kEdmonton = "MST7MDT";
constexpr const char* kKolkata = "IST-5:30";
#else
constexpr const char* kEdmonton = "America/Edmonton";
constexpr const char* kKolkata = "Asia/Kolkata";
#endif

TEST_F(LineForm, LocalTimeFollowsTheMachinesZoneAndDaylightSaving) {
    const auto when = [this](int32_t time) { return write({record(time, 0)})[0].substr(0, 20); };
    EXPECT_EQ(when(kMarch18), "2008/03/18  14:19:07");
    useTimeZone(kEdmonton);
    EXPECT_EQ(when(kMarch18), "2008/03/18  08:19:07");   // MDT
    EXPECT_EQ(when(1200398400), "2008/01/15  05:00:00"); // MST
    EXPECT_EQ(when(0), "1969/12/31  17:00:00");
    useTimeZone(kKolkata);
    EXPECT_EQ(when(kMarch18), "2008/03/18  19:49:07");
    useTimeZone("UTC0");
    EXPECT_EQ(when(kMarch18), "2008/03/18  14:19:07");
}

} // namespace
