// Power loss, swept: every operation of a random sequence is repeated with
// the power lost before its 1st, 2nd, 3rd ... flash program or erase, and
// again with that operation torn part-way, until it runs to its end. After every cut the unit is powered up and must show one
// valid directory (two only in the moment between a new one's marker and
// the old one's retirement, the lower one read), describing the items before
// the operation, after it, or after some of its steps, every listed item
// intact. Run again, the operation must then complete as if never cut.
// BEXO_FLASH_SWEEP_OPS sets the operations per unit (CI: a sample).
#include "scenario.h"

#include "vstore/armed_faults.h"

#include <cstdlib>

using namespace flashtest;

namespace {

size_t opsWanted(size_t ci) {
    const char* v = std::getenv("BEXO_FLASH_SWEEP_OPS");
    return v ? static_cast<size_t>(std::strtoul(v, nullptr, 10)) : ci;
}

std::vector<int> validMarkers(const vunit::Storage& s) {
    std::vector<int> out;
    for (int n = 0; n < 256; ++n) {
        const auto& sector = s.sectors[static_cast<size_t>(n)];
        if (sector.size() == 0x10000 && sector[0xFFFE] == 0xFF && sector[0xFFFF] == 0x55) out.push_back(n);
    }
    return out;
}

struct Tally {
    size_t operations = 0, cuts = 0, failures = 0, retriesRefused = 0, twoMarkers = 0;
};

// Before the operation (littlefs's cut between operations), or tearing it.
const char* const kCuts[] = {"power-off:", "power-cut:"};

void fail(Tally& t, const std::string& what) {
    ++t.failures;
    ADD_FAILURE() << what;
}

// What a cut left, judged; then the operation again, to its end.
void judge(FlashUnit& u, const Items& before, const Op& op, const std::string& cut, Tally& t) {
    const std::string where = op.describe() + ", " + cut;
    const vunit::Storage storage = u.stored();
    const auto valid = validMarkers(storage);
    if (valid.size() > 2) return fail(t, where + ": " + std::to_string(valid.size()) + " valid directories");
    if (valid.size() == 2) ++t.twoMarkers;
    const Listing d = readListing(u.unit);
    if (!valid.empty() && (d.result != 1 || d.directorySector != valid.front()))
        return fail(t, where + ": the lowest valid directory is not the one read");
    std::string why;
    const Items now = itemsOnUnit(u, storage, why);
    if (!why.empty()) return fail(t, where + ": " + why);
    const std::string verdict = judgeCut(before, allowedDuring(before, op), now);
    if (!verdict.empty()) return fail(t, where + ": " + verdict);

    int again = 0;
    printed([&] { again = run(u.unit, op); });
    const Items after = itemsOnUnit(u, why);
    if (again) {
        if (after != expectedAfter(before, op)) fail(t, where + ": run again, it does not end where it should");
    } else {
        ++t.retriesRefused;
        if (after != now) fail(t, where + ": run again and refused, it changed the items");
    }
}

// One operation swept: returns the items after it ran to its end.
Items sweep(FlashUnit& u, const Items& before, const Op& op, Tally& t) {
    const vunit::Storage start = u.stored();
    for (unsigned n = 1;; ++n) {
        for (const char* kind : kCuts) {
            const std::string cut = kind + std::to_string(n);
            u.close();
            testunits::restoreState(*u.plugged, start);
            testunits::armFault(*u.plugged, cut);
            u.reopen();
            int result = 0;
            printed([&] { result = run(u.unit, op); });
            if (u.answers()) { // not cut: it ran to its end
                const Items expected = result ? expectedAfter(before, op) : before;
                std::string why;
                const Items now = itemsOnUnit(u, why);
                if (!why.empty() || now != expected) fail(t, op.describe() + ": uncut, not what it should leave " + why);
                ++t.operations;
                return expected;
            }
            ++t.cuts;
            u.powerCycle();
            judge(u, before, op, cut, t);
        }
    }
}

struct Unit {
    const char* name;
    uint8_t chip;
    std::array<uint8_t, 4> chips;
    double fill;
    uint32_t seed;
    size_t sampleOps; // in CI (0: the long run only; some 60 s under a sanitizer)
};

// Test names show the unit, not its bytes.
void PrintTo(const Unit& u, std::ostream* os) { *os << u.name; }

class PowerLoss : public ::testing::TestWithParam<Unit> {};

TEST_P(PowerLoss, EveryCutLeavesOneIntactDirectory) {
    const Unit shape = GetParam();
    const size_t ops = opsWanted(shape.sampleOps);
    if (ops == 0) GTEST_SKIP() << "in the long run only (BEXO_FLASH_SWEEP_OPS)";
    OpSource source(shape.seed);
    Layout layout = crowdedLayout(shape.chip, shape.chips, shape.fill, source);
    layout.kind = vunit::Kind::Stream; // a cut wakes its receive wait at once
    FlashUnit u(layout);
    Items model = itemsOf(layout);
    Tally t;
    for (size_t i = 0; i < ops; ++i) model = sweep(u, model, source.next(model), t);
    std::printf("%s: %zu operations, %zu cut points, %zu failed; %zu cuts left two markers, %zu re-runs refused\n",
                shape.name, t.operations, t.cuts, t.failures, t.twoMarkers, t.retriesRefused);
    EXPECT_EQ(t.failures, 0u);
    EXPECT_GT(t.cuts, 0u);
}

INSTANTIATE_TEST_SUITE_P(Units, PowerLoss,
                         ::testing::Values(Unit{"four_sectors", 17, {}, 0.9, 21, 2},
                                           Unit{"thirty_two_sectors", 20, {}, 0.85, 22, 0},
                                           Unit{"four_slots", 0xAA, {17, 0, 18, 17}, 0.9, 24, 1}),
                         [](const ::testing::TestParamInfo<Unit>& p) { return std::string(p.param.name); });

} // namespace
