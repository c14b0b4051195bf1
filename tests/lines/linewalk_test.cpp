// What the line walk adds to the text layouts' lines (their bytes are proven
// by the text export tests): which record an observation is, its types, and
// how many observation records were folded into it.
#include "loglines.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int32_t kT = 1205849947;

LogRecord rec(int32_t time, unsigned type, uint8_t extraFlags = 0) {
    return LogRecord{time, 49.5f, -112.25f, 0.0f, 50, static_cast<uint8_t>((type << 1) | extraFlags)};
}

std::vector<LogLine> lines(const std::vector<LogRecord>& records, LogLayout layout, MergeOptions merge = {}) {
    LineWalk walk{records.data(), records.size(), layout, merge};
    std::vector<LogLine> out;
    for (LogLine line; nextLine(walk, line);) out.push_back(line);
    return out;
}

std::vector<unsigned> typesOf(const LogLine& line) { return {line.types, line.types + line.typeCount}; }

TEST(LineWalk, CodedLayoutAPlainRecordFoldsInTheDeadWildlifeAfterIt) {
    const auto walked = lines({rec(kT, 0), rec(kT + 30, 19), rec(kT + 40, 0)}, LogLayout::Coded);
    ASSERT_EQ(walked.size(), 2u);
    EXPECT_EQ(walked[0].record, 0u); // the text line shows the plain record
    EXPECT_EQ(walked[0].observation, 1u);
    EXPECT_EQ(typesOf(walked[0]), std::vector<unsigned>{19});
    EXPECT_EQ(walked[0].records, 2u);
    EXPECT_EQ(walked[0].observationRecords, 1u);
    EXPECT_EQ(walked[1].observation, kNoRecord);
}

TEST(LineWalk, FlagLayoutFoldsBit6AndKeepsBothTypes) {
    const auto walked = lines({rec(kT, 3), rec(kT + 10, 32), rec(kT + 20, 33)}, LogLayout::Flag);
    ASSERT_EQ(walked.size(), 2u);
    EXPECT_EQ(walked[0].flags, (3u << 1) | 0x40u);
    EXPECT_EQ(typesOf(walked[0]), (std::vector<unsigned>{3, 32}));
    EXPECT_EQ(walked[0].observation, 0u);
    EXPECT_EQ(walked[1].record, 2u);
    EXPECT_EQ(lines({rec(kT, 3), rec(kT + 10, 32)}, LogLayout::Flag, {false, true}).size(), 2u);
}

TEST(LineWalk, GroupedLayoutCountsEachJoinerAndListsEachTypeOnce) {
    const auto walked = lines({rec(kT, 0), rec(kT + 1, 7), rec(kT + 10, 5), rec(kT + 20, 19), rec(kT + 30, 5),
                               rec(kT + 70, 19)},
                              LogLayout::Grouped);
    ASSERT_EQ(walked.size(), 2u);
    EXPECT_EQ(walked[0].record, 1u);
    EXPECT_EQ(typesOf(walked[0]), (std::vector<unsigned>{7, 5, 19}));
    EXPECT_EQ(walked[0].observationRecords, 4u);
    EXPECT_EQ(walked[0].mask, (1u << 7) | (1u << 5) | (1u << 19));
    EXPECT_EQ(walked[1].record, 5u);
}

TEST(LineWalk, GroupedCancellationIsReadFromTheRecordsWithoutChangingThem) {
    const std::vector<LogRecord> records{rec(kT, 5), rec(kT + 60, 9), rec(kT + 200, 7), rec(kT + 261, 9)};
    EXPECT_TRUE(cancelledInGroupedLayout(records.data(), records.size(), 0)); // 60 s before: inside
    EXPECT_TRUE(cancelledInGroupedLayout(records.data(), records.size(), 1));
    EXPECT_FALSE(cancelledInGroupedLayout(records.data(), records.size(), 2)); // 61 s before: outside
    const auto walked = lines(records, LogLayout::Grouped);
    ASSERT_EQ(walked.size(), 1u);
    EXPECT_EQ(walked[0].record, 2u);
    EXPECT_EQ(records[1].flags, 9u << 1);
}

TEST(LineWalk, EmptyAndAllPlainArrays) {
    for (const LogLayout layout : {LogLayout::Flag, LogLayout::Coded, LogLayout::Grouped}) {
        EXPECT_TRUE(lines({}, layout).empty());
        const auto plain = lines({rec(kT, 0, 1), rec(kT + 1, 0)}, layout);
        EXPECT_EQ(plain.size(), layout == LogLayout::Grouped ? 0u : 2u);
        for (const LogLine& l : plain) EXPECT_EQ(l.observation, kNoRecord);
    }
}

} // namespace
