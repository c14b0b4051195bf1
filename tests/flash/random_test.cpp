// Long random sequences of writes, replacements, deletions and map writes
// on crowded units of every geometry, each checked against a model of the
// item set: the directory must list exactly the model's items with intact
// bytes, one directory valid, after every operation (a failed one included).
// BEXO_FLASH_OPS sets the number of operations per geometry (CI: a sample).
#include "scenario.h"

#include <cstdlib>

using namespace flashtest;

namespace {

size_t opsWanted(size_t ci) {
    const char* v = std::getenv("BEXO_FLASH_OPS");
    return v ? static_cast<size_t>(std::strtoul(v, nullptr, 10)) : ci;
}

int validMarkers(const vunit::Storage& s) {
    int n = 0;
    for (const auto& sector : s.sectors)
        if (sector.size() == 0x10000 && sector[0xFFFE] == 0xFF && sector[0xFFFF] == 0x55) ++n;
    return n;
}

std::string differences(const Items& want, const Items& got) {
    std::string out;
    for (const auto& [k, b] : want) {
        auto it = got.find(k);
        if (it == got.end()) out += " missing " + std::to_string(k.first) + "/" + std::to_string(k.second);
        else if (it->second != b) out += " damaged " + std::to_string(k.first) + "/" + std::to_string(k.second);
    }
    for (const auto& [k, b] : got)
        if (!want.count(k)) out += " extra " + std::to_string(k.first) + "/" + std::to_string(k.second);
    return out;
}

struct Shape {
    const char* name;
    uint8_t chip;
    std::array<uint8_t, 4> chips;
    double fill;
    uint32_t seed;
};

// Test names show the unit, not its bytes.
void PrintTo(const Shape& u, std::ostream* os) { *os << u.name; }

class RandomSequence : public ::testing::TestWithParam<Shape> {};

TEST_P(RandomSequence, DirectoryFollowsTheModel) {
    const Shape shape = GetParam();
    OpSource source(shape.seed);
    const Layout layout = crowdedLayout(shape.chip, shape.chips, shape.fill, source);
    FlashUnit u(layout);
    Items model = itemsOf(layout);
    const size_t ops = opsWanted(24);
    size_t done = 0, refused = 0, multiStep = 0;
    for (size_t i = 0; i < ops; ++i) {
        const Op op = source.next(model);
        int result = 0;
        const std::string said = printed([&] { result = run(u.unit, op); });
        const Items expected = result ? expectedAfter(model, op) : model;
        std::string why;
        const vunit::Storage storage = u.stored();
        const Items now = itemsOnUnit(u, storage, why);
        ASSERT_EQ(why, "") << "after op " << i << ": " << op.describe();
        ASSERT_EQ(differences(expected, now), "") << "after op " << i << " (" << op.describe() << ", result "
                                                  << result << ")\n" << said;
        ASSERT_EQ(validMarkers(storage), 1) << "after op " << i;
        model = expected;
        (result ? done : refused)++;
        size_t erases = 0;
        for (size_t at = said.find("Erasing"); at != std::string::npos; at = said.find("Erasing", at + 1)) ++erases;
        if (result && erases > 2) ++multiStep;
    }
    std::printf("%s: %zu operations, %zu done, %zu refused, %zu of several rotations; %zu items at the end\n",
                shape.name, ops, done, refused, multiStep, model.size());
    EXPECT_GT(done, ops / 3);
}

INSTANTIATE_TEST_SUITE_P(Geometries, RandomSequence,
                         ::testing::Values(Shape{"four_sectors", 17, {}, 0.9, 11},
                                           Shape{"thirty_two_sectors", 20, {}, 0.85, 12},
                                           Shape{"sixty_four_sectors", 21, {}, 0.8, 13},
                                           Shape{"four_slots", 0xAA, {17, 0, 18, 17}, 0.9, 14}),
                         [](const ::testing::TestParamInfo<Shape>& p) { return std::string(p.param.name); });

} // namespace
