// The plan the exports draw: which records are track points, where segments
// break, which observations are kept, and what each kind is called.
#include "trackplan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int32_t kPlanStart = 1205849947;

LogRecord at(int32_t time, uint8_t flags = 0, float latitude = 49.5f, float longitude = -112.25f) {
    return LogRecord{time, latitude, longitude, 40.0f, 50, flags};
}

// A run of `n` points, `step` seconds apart, from `start`.
void run(std::vector<LogRecord>& records, int32_t start, int n, int step = 1, uint8_t firstFlags = 1) {
    for (int i = 0; i < n; ++i) records.push_back(at(start + i * step, i == 0 ? firstFlags : 0));
}

std::vector<std::size_t> segmentSizes(const std::vector<LogRecord>& records, int64_t gap = 300) {
    const LogPlan plan = planLog(records.data(), records.size(), PlanOptions{LogLayout::Flag, {}, gap});
    std::vector<std::size_t> sizes;
    for (const Segment& s : plan.segments) sizes.push_back(s.points);
    return sizes;
}

TEST(TrackPlan, RunsThatCarryOnStayInOneSegment) {
    std::vector<LogRecord> r;
    run(r, kPlanStart, 10, 5);
    run(r, kPlanStart + 50, 3, 5);           // one step later: same drive
    run(r, kPlanStart + 62, 1, 5, 5 * 2 + 1); // an observation run between grid points
    run(r, kPlanStart + 65, 4, 5);
    EXPECT_EQ(segmentSizes(r), std::vector<std::size_t>{18});
}

TEST(TrackPlan, RunsThatBeginLaterStartASegment) {
    std::vector<LogRecord> r;
    run(r, kPlanStart, 10, 5);
    run(r, kPlanStart + 45 + 11, 4, 5); // 11 s after the last point of a 5 s log
    EXPECT_EQ(segmentSizes(r), (std::vector<std::size_t>{10, 4}));
    // A first run of one point: the step of the run after it decides.
    std::vector<LogRecord> lone;
    run(lone, kPlanStart, 1);
    run(lone, kPlanStart + 5, 4, 5);
    EXPECT_EQ(segmentSizes(lone), std::vector<std::size_t>{5});
    // Fixes slower than the interval: every point a run of its own. No step
    // is known, so one drive, until the gap.
    std::vector<LogRecord> sparse;
    for (int i = 0; i < 20; ++i) run(sparse, kPlanStart + 5 * i, 1);
    run(sparse, kPlanStart + 95 + 301, 1);
    EXPECT_EQ(segmentSizes(sparse), (std::vector<std::size_t>{20, 1}));
}

TEST(TrackPlan, TimeGoingBackOrPastTheGapBreaks) {
    std::vector<LogRecord> r;
    run(r, kPlanStart, 5, 1);
    r.push_back(at(kPlanStart + 4 + 300)); // exactly the gap: no break
    r.push_back(at(kPlanStart + 4 + 601)); // past it
    r.push_back(at(kPlanStart + 100));     // back in time
    r.push_back(at(kPlanStart + 100));     // same second: no break
    EXPECT_EQ(segmentSizes(r), (std::vector<std::size_t>{6, 1, 2}));
    EXPECT_EQ(segmentSizes(r, 0), (std::vector<std::size_t>{1, 1, 1, 1, 1, 1, 1, 2}));
    // Families 1 and 2 start every run at the same time: each is a segment.
    std::vector<LogRecord> undated;
    run(undated, 943920000, 3);
    run(undated, 943920000, 3);
    EXPECT_EQ(segmentSizes(undated), (std::vector<std::size_t>{3, 3}));
}

TEST(TrackPlan, RecordsOffTheEarthOrBeforeTheEpochAreLeftOutAndCounted) {
    std::vector<LogRecord> r;
    run(r, kPlanStart, 3);
    r[1].time = -5;
    r.push_back(at(kPlanStart + 3, 0, 90.5f, 0));
    r.push_back(at(kPlanStart + 4, 0, 0, -180.001f));
    r.push_back(at(kPlanStart + 5, 0, NAN, 0));
    r.push_back(at(kPlanStart + 6, 0, -90.0f, 180.0f)); // the edges are on the earth
    r.push_back(at(kPlanStart + 7, 19 * 2 + 1, 100.0f, 0)); // an observation off the earth
    const LogPlan plan = planLog(r.data(), r.size(), PlanOptions{LogLayout::Coded, {}, 300});
    EXPECT_EQ(plan.records, r.size());
    EXPECT_EQ(plan.trackPoints, 3u);
    EXPECT_EQ(plan.leftOut.negativeTime, 1u);
    EXPECT_EQ(plan.leftOut.outsideEarth, 4u);
    EXPECT_EQ(plan.leftOut.observations, 1u);
    EXPECT_TRUE(plan.observations.empty());
    ASSERT_EQ(plan.segments.size(), 1u); // the left-out records do not break it
    EXPECT_EQ(plan.firstTime, kPlanStart);
    EXPECT_EQ(plan.lastTime, kPlanStart + 6);
    std::vector<std::size_t> points;
    forEachPoint(r.data(), plan.segments[0], [&](std::size_t i) { points.push_back(i); });
    EXPECT_EQ(points, (std::vector<std::size_t>{0, 2, 6}));
}

TEST(TrackPlan, ObservationsFollowTheLayoutsMergeRules) {
    std::vector<LogRecord> r{at(kPlanStart, 5 * 2 + 1), at(kPlanStart + 20, 19 * 2 + 1), at(kPlanStart + 40, 0), at(kPlanStart + 50, 20 * 2 + 1)};
    const auto observations = [&](LogLayout layout, MergeOptions merge) {
        return planLog(r.data(), r.size(), PlanOptions{layout, merge, 300}).observations;
    };
    const auto coded = observations(LogLayout::Coded, {});
    ASSERT_EQ(coded.size(), 2u);
    EXPECT_EQ(coded[0].type(), 5u);
    EXPECT_EQ(coded[0].records, 2u);
    EXPECT_EQ(coded[1].record, 3u); // folded into the plain record before it, but placed where it was logged
    EXPECT_EQ(observations(LogLayout::Coded, {false, true}).size(), 3u);
    EXPECT_EQ(observations(LogLayout::Grouped, {}).size(), 2u); // type 20 does not join
    EXPECT_EQ(observations(LogLayout::Grouped, {true, false}).size(), 2u);
    EXPECT_EQ(observations(LogLayout::Flag, {}).size(), 3u); // no bit 6 among them
}

TEST(ObservationNames, OnlyTheKindsTheSystemNames) {
    EXPECT_EQ(observationName(LogLayout::Coded, 19), "dead wildlife");
    EXPECT_EQ(observationName(LogLayout::Grouped, 20), "dead wildlife");
    EXPECT_EQ(observationName(LogLayout::Coded, 5), "wildlife crossing");
    EXPECT_EQ(observationName(LogLayout::Grouped, 7), "observation 7");
    // The flag layout names bit 6 of `flags`: types 32 to 63.
    EXPECT_EQ(observationName(LogLayout::Flag, 32), "dead wildlife");
    EXPECT_EQ(observationName(LogLayout::Flag, 63), "dead wildlife");
    EXPECT_EQ(observationName(LogLayout::Flag, 19), "observation 19");
    EXPECT_EQ(observationName(LogLayout::Flag, 5), "observation 5");
    EXPECT_EQ(observationName(LogLayout::Flag, 64), "observation 64");
}

} // namespace
