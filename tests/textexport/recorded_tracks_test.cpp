// The recorded tracks in every layout and merge setting, against the bytes
// the writers gave when these figures were taken: any change of output shows.
#include "recorded_tracks.h"
#include "textexport_support.h"

#include <cstring>

namespace {

uint64_t fnv1a(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

struct Golden {
    const char* track;
    uint16_t family;
    bool mergeDead;
    bool mergeCrossing;
    size_t lines;
    uint64_t hash;
};

const Golden kGolden[] = {
    {"logger-a", 0x8100, true, true, 384, 0x6126b9d825e2778full},
    {"logger-a", 0x8100, false, false, 395, 0x6b5b3d7e59e4bcafull},
    {"logger-a", 0x8200, true, true, 373, 0xa0a4a7f7c2a42b5ull},
    {"logger-a", 0x8200, false, false, 395, 0x27c50fc6d209ba1cull},
    {"logger-a", 0x8210, true, true, 44, 0x4c6ea4644b0c1ee4ull},
    {"logger-a", 0x8210, true, false, 55, 0xafdb33f62cdc156full},
    {"logger-a", 0x8210, false, true, 55, 0x75cdb82dc22963c1ull},
    {"logger-b", 0x8100, true, true, 150, 0x98c2f6ffc214cd3eull},
    {"logger-b", 0x8200, true, true, 146, 0xe94c9259a9f3df9full},
    {"logger-b", 0x8200, false, true, 154, 0x3188059800c9fe6aull},
    {"logger-b", 0x8210, true, true, 13, 0x7b0d87a81ce83affull},
    {"logger-b", 0x8210, false, false, 25, 0xfd0a6810a0c476c1ull},
};

TEST(RecordedTracks, TextBytesAreUnchanged) {
    useTimeZone("UTC0");
    for (const recorded::TrackImage& t : recorded::all()) {
        const std::vector<LogRecord> original = recorded::records(t.image);
        ASSERT_EQ(original.size(), t.fixes.size()) << t.name;
        for (const Golden& g : kGolden) {
            if (t.name != g.track) continue;
            SCOPED_TRACE(testing::Message() << t.name << " family 0x" << std::hex << g.family << " dead "
                                            << g.mergeDead << " crossing " << g.mergeCrossing);
            eeFamily = g.family;
            mergeDeadWildlife = g.mergeDead;
            mergeCrossingWildlife = g.mergeCrossing;
            const std::vector<LogRecord> records = original;
            const std::string text = capture(
                [&](FILE* f) { writeLogTextForFamily(records.data(), static_cast<unsigned>(records.size()), f); });
            EXPECT_EQ(crlfLines(text).size(), g.lines);
            EXPECT_EQ(fnv1a(text), g.hash) << std::hex << "0x" << fnv1a(text);
            EXPECT_EQ(std::memcmp(records.data(), original.data(), records.size() * sizeof(LogRecord)), 0);
        }
    }
}

} // namespace
