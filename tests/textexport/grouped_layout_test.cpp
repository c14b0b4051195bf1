// Grouped layout (family 0x8210): type-9 cancellation, then lines that
// collect close observations measured from their opening record.
#include "textexport_support.h"

namespace {

struct GroupedLayout : TextExportTest {
    GroupedLayout() : TextExportTest(0x8210) {}
};

TEST_F(GroupedLayout, PositionRecordsNeverPrint) {
    EXPECT_TRUE(write({record(kMarch18, 1), record(kMarch18 + 1, 0)}).empty());
    EXPECT_EQ(write({record(kMarch18, 1), record(kMarch18 + 5, observation(7), 2.0f, 3.0f), record(kMarch18 + 9, 0)}),
              std::vector<std::string>{"2008/03/18  14:19:12  2.000000  3.000000  " + groupedColumns({7})});
}

TEST_F(GroupedLayout, SixteenColumnsWithout4_9_16_17) {
    std::vector<LogRecord> records;
    for (unsigned type : {1u, 4u, 16u, 17u, 20u})
        records.push_back(record(kMarch18 + static_cast<int32_t>(type) * 100, observation(type)));
    const auto lines = write(records);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(columnsOf(lines[0]), "1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 ");
    for (size_t i = 1; i < 4; ++i) EXPECT_EQ(columnsOf(lines[i]), "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 ") << i;
    EXPECT_EQ(columnsOf(lines[4]), "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 ");
}

TEST_F(GroupedLayout, JoinersAreMeasuredFromTheOpeningRecord) {
    const auto lines = write({record(kMarch18, observation(7), 1.0f, 2.0f), record(kMarch18 + 30, observation(5)),
                              record(kMarch18 + 45, 0), record(kMarch18 + 59, observation(19)),
                              record(kMarch18 + 60, observation(19), 3.0f, 4.0f)});
    EXPECT_EQ(lines, (std::vector<std::string>{"2008/03/18  14:19:07  1.000000  2.000000  " + groupedColumns({5, 7, 19}),
                                               "2008/03/18  14:20:07  3.000000  4.000000  " + groupedColumns({19})}));
}

TEST_F(GroupedLayout, OnlyTypes5And19JoinAndEachHasItsOption) {
    struct Case {
        unsigned type;
        bool mergeDead;
        bool mergeCrossing;
        size_t lines;
    };
    for (const Case c : {Case{5, true, true, 1}, Case{5, true, false, 2}, Case{19, true, true, 1},
                         Case{19, false, true, 2}, Case{20, true, true, 2}}) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " dead " << c.mergeDead << " crossing "
                                        << c.mergeCrossing);
        mergeDeadWildlife = c.mergeDead;
        mergeCrossingWildlife = c.mergeCrossing;
        EXPECT_EQ(write({record(kMarch18, observation(5)), record(kMarch18 + 10, observation(c.type))}).size(),
                  c.lines);
    }
}

TEST_F(GroupedLayout, Type9RemovesItselfAndTheRecordBeforeUpTo60SecondsEarlier) {
    std::vector<LogRecord> within{record(kMarch18, observation(7)), record(kMarch18 + 100, observation(5)),
                                  record(kMarch18 + 160, 0x12)};
    EXPECT_EQ(write(within).size(), 1u); // type 7 stays
    // The caller's records keep their flags: they are written again later.
    EXPECT_EQ(within[1].flags, observation(5));
    EXPECT_EQ(within[2].flags, 0x12);
    EXPECT_EQ(write(within).size(), 1u);
    EXPECT_EQ(write({record(kMarch18, observation(5)), record(kMarch18 + 61, 0x13)}).size(), 1u);
    // Later minus earlier: a record before it in the array but later in time goes.
    EXPECT_TRUE(write({record(kMarch18 + 500, observation(5)), record(kMarch18, 0x13)}).empty());
    // A removed opener cannot collect: the type 19 opens its own line.
    const auto lines = write({record(kMarch18, observation(5)), record(kMarch18 + 30, observation(9)),
                              record(kMarch18 + 40, observation(19))});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 20), "2008/03/18  14:19:47");
}

} // namespace
