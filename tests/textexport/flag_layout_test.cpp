// Flag layout: bits 7, 6, 5 and the merge of a following bit-6 record.
#include "textexport_support.h"

namespace {

using FlagLayout = TextExportTest;

TEST_F(FlagLayout, MergeWindowIsUnder60SecondsLaterMinusEarlier) {
    struct Case {
        int gap;
        bool merge;
        size_t lines;
    };
    for (const Case c : {Case{59, true, 1}, Case{60, true, 2}, Case{59, false, 2}, Case{-3600, true, 1}}) {
        SCOPED_TRACE(testing::Message() << "gap " << c.gap << " merge " << c.merge);
        mergeDeadWildlife = c.merge;
        const auto lines = write({record(kMarch18, 0x81, 1.0f, 2.0f), record(kMarch18 + c.gap, 0x41)});
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines[0], std::string("2008/03/18  14:19:07  1.000000  2.000000  ") +
                                (c.lines == 1 ? "1 1 0" : "1 0 0"));
    }
}

TEST_F(FlagLayout, OnlyTheNextRecordAndOnlyWithBit6IsAbsorbed) {
    EXPECT_EQ(write({record(kMarch18, 0x01), record(kMarch18 + 5, 0xA1)}).size(), 2u);
    const auto lines = write({record(kMarch18, 0x01), record(kMarch18 + 10, 0x41), record(kMarch18 + 20, 0x61)});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(columnsOf(lines[0]), "0 1 0");
    EXPECT_EQ(lines[1].substr(0, 20), "2008/03/18  14:19:27");
    EXPECT_EQ(columnsOf(lines[1]), "0 1 1");
}

} // namespace
