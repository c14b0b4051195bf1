// Coded layout (0x82xx families): twenty type columns, dead-wildlife merge of
// types 19 and 20; and which family word picks which layout.
#include "textexport_support.h"

namespace {

struct CodedLayout : TextExportTest {
    CodedLayout() : TextExportTest(0x8200) {}
};

TEST_F(CodedLayout, TypeLightsItsColumnModulo32) {
    const auto lines = write({record(kMarch18, 0), record(kMarch18 + 100, observation(1)),
                              record(kMarch18 + 200, observation(20)), record(kMarch18 + 300, observation(21)),
                              record(kMarch18 + 400, observation(32)), record(kMarch18 + 500, observation(52))});
    ASSERT_EQ(lines.size(), 6u);
    const std::vector<std::string> expected{codedColumns({}), codedColumns({1}),  codedColumns({20}),
                                            codedColumns({}), codedColumns({}), codedColumns({20})};
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(columnsOf(lines[i]), expected[i]) << i;
}

TEST_F(CodedLayout, CloseType19Or20JoinsThePreviousLine) {
    struct Case {
        unsigned nextType;
        int gap;
        bool merge;
        std::string first;
    };
    for (const Case& c : {Case{19, 30, true, codedColumns({5, 19})}, Case{20, 59, true, codedColumns({5, 20})},
                          Case{19, -30, true, codedColumns({5, 19})}, Case{18, 30, true, codedColumns({5})},
                          Case{19, 60, true, codedColumns({5})}, Case{19, 30, false, codedColumns({5})}}) {
        SCOPED_TRACE(testing::Message() << "type " << c.nextType << " gap " << c.gap << " merge " << c.merge);
        mergeDeadWildlife = c.merge;
        mergeCrossingWildlife = false; // plays no part here
        const auto lines = write({record(kMarch18, observation(5)), record(kMarch18 + c.gap, observation(c.nextType))});
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.size(), c.first == codedColumns({5}) ? 2u : 1u);
        EXPECT_EQ(columnsOf(lines[0]), c.first);
    }
}

TEST_F(CodedLayout, FamilyWordSelectsLayout) {
    struct Case {
        uint16_t family;
        std::string columns;
    };
    for (const Case& c : {Case{0x8100, "0 0 0"}, Case{0x0082, "0 0 0"}, Case{0x8310, "0 0 0"},
                          Case{0x8200, codedColumns({3})}, Case{0x82FF, codedColumns({3})},
                          Case{0x8211, codedColumns({3})}, Case{0x8210, groupedColumns({3})}}) {
        eeFamily = c.family;
        EXPECT_EQ(columnsOf(write({record(kMarch18, observation(3))})[0]), c.columns) << std::hex << c.family;
    }
    // Called directly, writeLogText takes the grouped family for a coded one.
    eeFamily = 0x8210;
    EXPECT_EQ(columnsOf(crlfLines(capture([](FILE* f) {
                  LogRecord r = record(kMarch18, observation(3));
                  writeLogText(&r, 1, f);
              }))[0]),
              codedColumns({3}));
}

} // namespace
