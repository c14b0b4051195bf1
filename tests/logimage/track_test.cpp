// Tracks through the encoder and back through the parser.
#include "decode.h"
#include "logimage/logimage.h"
#include "sample_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using namespace logimage;
using logimage_test::coordinateTolerance;
using logimage_test::decode;
using logimage_test::runStarts;

namespace {

constexpr int64_t kNoon = 1718366400; // 2024-06-14 12:00:00 UTC

// One fix a second along a straight line.
std::vector<Fix> line(int n, double lat, double lon, double dLat, double dLon, double kmh = 50, int64_t start = kNoon) {
    std::vector<Fix> fixes;
    for (int i = 0; i < n; ++i) {
        Fix f;
        f.time = start + i;
        f.latitude = lat + dLat * i;
        f.longitude = lon + dLon * i;
        f.speedKmh = kmh;
        fixes.push_back(f);
    }
    return fixes;
}

// Every fix logged, in order, within the resolution.
void expectSameTrack(const std::vector<Fix>& fixes, const std::vector<logimage_test::Point>& r, double coordTol, double speedTol,
                     int family) {
    ASSERT_EQ(r.size(), fixes.size());
    for (std::size_t i = 0; i < r.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        EXPECT_EQ(r[i].time, fixes[i].time);
        EXPECT_NEAR(r[i].latitude, fixes[i].latitude, coordTol);
        EXPECT_NEAR(r[i].longitude, fixes[i].longitude, coordTol);
        EXPECT_NEAR(r[i].speed, fixes[i].speedKmh, speedTol);
        EXPECT_EQ(r[i].speedLimit, limitKmh(limitCodeFor(fixes[i].speedLimitKmh)));
        if (family >= 4 && fixes[i].observation != 0) {
            EXPECT_EQ(r[i].flags, fixes[i].observation * 2 + 1);
        }
        if (family == 3) {
            EXPECT_LE(r[i].flags, 1);
        }
    }
}

std::vector<Fix> sampleDrive(int seconds) {
    sampletrack::DriveOptions o;
    o.start = kNoon;
    o.seconds = seconds;
    o.seed = 3;
    o.observationEvery = 120;
    return sampletrack::drive(o);
}

} // namespace

TEST(TrackRoundTrip, DrivesSurviveEveryFamily) {
    const auto fixes = sampleDrive(1800);
    for (int family : {3, 4, 5}) {
        SCOPED_TRACE("family " + std::to_string(family));
        const logimage_test::AllFamilies gate;
        const auto image = encodeTrack(fixes, {family});
        const auto r = decode(image);
        expectSameTrack(fixes, r, coordinateTolerance(family == 5 ? 0 : 2), family == 5 ? 0.1 : 0.93, family);
        EXPECT_EQ(image.back(), 0x00);
        int observations = 0;
        for (const Fix& f : fixes) observations += f.observation != 0;
        ASSERT_GT(observations, 5);
        // Limit changes ride on code bytes; only observations and the odd
        // window crossing open runs.
        EXPECT_LE(runStarts(r), (family >= 4 ? observations : 0) + 10);
    }
}

TEST(TrackRoundTrip, LimitChangesAndSpeedJumpsStayInTheRun) {
    auto fixes = line(40, 45.2, -75.2, 1e-4, -1e-4);
    for (int i = 10; i < 40; ++i) fixes[static_cast<std::size_t>(i)].speedLimitKmh = 80;
    for (int i = 20; i < 40; ++i) fixes[static_cast<std::size_t>(i)].speedKmh = 70; // +10.8 knots in one second
    fixes[30].speedLimitKmh = 57; // the table's nearest is 60
    for (int family : {3, 4, 5}) {
        SCOPED_TRACE("family " + std::to_string(family));
        const logimage_test::AllFamilies gate;
        const auto r = decode(encodeTrack(fixes, {family}));
        expectSameTrack(fixes, r, coordinateTolerance(family == 5 ? 0 : 2), family == 5 ? 0.1 : 0.93, family);
        EXPECT_EQ(runStarts(r), 1);
        EXPECT_EQ(r[30].speedLimit, 60);
    }
}

TEST(TrackRoundTrip, SpeedBeyondAByteTakesACoarserScale) {
    auto fixes = line(30, 45.2, -75.2, 1e-5, 0);
    for (std::size_t i = 0; i < fixes.size(); ++i) fixes[i].speedKmh = i % 2 ? 100 : 0;
    const auto r = decode(encodeTrack(fixes));
    // 54 knots a second fits a byte from half-knot steps on.
    expectSameTrack(fixes, r, coordinateTolerance(0), 0.5 * 1.852 / 2 + 1e-3, 5);
    EXPECT_EQ(runStarts(r), 1);
}

TEST(TrackRoundTrip, FamilyFiveCoversEveryHemisphere) {
    const struct {
        double lat, lon;
    } places[] = {{45.3, -75.7}, {-33.9, 18.4}, {-37.8, 144.9}, {35.6, 139.7}, {64.8, -147.7}, {0.05, -0.05}, {-89.9, 179.9}};
    for (const auto& p : places) {
        SCOPED_TRACE(std::to_string(p.lat) + "," + std::to_string(p.lon));
        const double step = p.lat > 0 ? -2e-5 : 2e-5; // heads for the equator
        const auto fixes = line(20, p.lat, p.lon, step, 3e-5);
        const auto r = decode(encodeTrack(fixes));
        expectSameTrack(fixes, r, coordinateTolerance(0), 0.1, 5);
        EXPECT_EQ(runStarts(r), 1);
    }
}

TEST(TrackRoundTrip, OlderFamiliesRejectWhatTheyCannotHold) {
    for (int family : {3, 4}) {
        EXPECT_THROW(encodeTrack(line(3, 45, 8, 0, 0), {family}), std::invalid_argument);
        EXPECT_THROW(encodeTrack(line(3, -33, -60, 0, 0), {family}), std::invalid_argument);
        EXPECT_THROW(encodeTrack(line(3, 60, -150, 0, 0), {family}), std::invalid_argument);
        EXPECT_NO_THROW(encodeTrack(line(3, 0, 0, 0, 0), {family}));
    }
    EXPECT_THROW(encodeTrack(line(3, 91, 0, 0, 0)), std::invalid_argument);
    EXPECT_THROW(encodeTrack(line(3, 45, NAN, 0, 0)), std::invalid_argument);
    EXPECT_THROW(encodeTrack(line(3, 45, 8, 0, 0, 50, 946684800 - 10)), std::invalid_argument); // 1999
    EXPECT_THROW(encodeTrack(line(3, 45, 8, 0, 0, 50, 2966371200)), std::invalid_argument);     // 2064
    auto odd = line(3, 45, 8, 0, 0);
    odd[1].observation = 128;
    EXPECT_THROW(encodeTrack(odd), std::invalid_argument);
    EXPECT_THROW(encodeTrack(line(3, 45, 8, 0, 0), {2}), std::invalid_argument);
    EXPECT_THROW(encodeTrack(line(3, 45, 8, 0, 0), {5, 257}), std::invalid_argument);
    EXPECT_TRUE(encodeTrack({}).empty());
}

TEST(TrackRoundTrip, ObservationsOpenRunsCarryingTheirType) {
    auto fixes = line(30, 45.2, -75.2, 1e-4, 1e-4);
    fixes[0].observation = 5;
    fixes[12].observation = 19;
    fixes[13].observation = 19;
    fixes[20].observation = 127;
    for (int family : {3, 4, 5}) {
        SCOPED_TRACE("family " + std::to_string(family));
        const logimage_test::AllFamilies gate;
        const auto r = decode(encodeTrack(fixes, {family}));
        expectSameTrack(fixes, r, coordinateTolerance(family == 5 ? 0 : 2), 0.93, family);
        EXPECT_EQ(runStarts(r), family == 3 ? 1 : 4);
    }
}

TEST(TrackRoundTrip, NewDateOpensARun) {
    const int64_t beforeMidnight = kNoon + 12 * 3600 - 10;
    const auto fixes = line(20, 45.2, -75.2, 1e-4, 0, 50, beforeMidnight);
    for (int family : {3, 4, 5}) {
        SCOPED_TRACE("family " + std::to_string(family));
        const logimage_test::AllFamilies gate;
        const auto r = decode(encodeTrack(fixes, {family}));
        expectSameTrack(fixes, r, coordinateTolerance(family == 5 ? 0 : 2), 0.93, family);
        EXPECT_EQ(runStarts(r), 2);
        EXPECT_EQ(r[10].flags & 1, 1); // 00:00:00
    }
    // Late in the day the seconds count needs its 17th bit.
    const auto late = line(5, 45.2, -75.2, 0, 0, 50, kNoon + 7 * 3600);
    expectSameTrack(late, decode(encodeTrack(late)), coordinateTolerance(0), 0.1, 5);
}

TEST(TrackRoundTrip, LeavingTheHalfDegreeWindowOpensARun) {
    const auto fixes = line(20, 45.49955, -75.2, 1e-4, 0); // crosses 45 deg 30 min at the sixth point
    const auto r = decode(encodeTrack(fixes));
    expectSameTrack(fixes, r, coordinateTolerance(0), 0.1, 5);
    EXPECT_EQ(runStarts(r), 2);
    EXPECT_EQ(r[5].flags, 1);
}

TEST(TrackRoundTrip, ResolutionFollowsTheSpeedOfTheRun) {
    // Slow: the finest steps.
    const auto slow = line(25, 45.01, -75.2, 3e-5, -5e-5, 15);
    const auto rs = decode(encodeTrack(slow));
    expectSameTrack(slow, rs, coordinateTolerance(0), 0.1, 5);
    EXPECT_EQ(runStarts(rs), 1);
    // 3000 units a second needs shifts of 3 (2307 units a byte at 2).
    const auto fast = line(25, 45.01, -75.2, 0.005, 0, 1000);
    const auto rf = decode(encodeTrack(fast));
    expectSameTrack(fast, rf, coordinateTolerance(3), 0.1, 5);
    EXPECT_EQ(runStarts(rf), 1);
    // Families 3 and 4 cannot coarsen: every point opens its own run.
    for (int family : {3, 4}) {
        const logimage_test::AllFamilies gate;
        const auto r = decode(encodeTrack(fast, {family}));
        expectSameTrack(fast, r, coordinateTolerance(2), 0.93, family);
        EXPECT_EQ(runStarts(r), static_cast<int>(fast.size()));
    }
}

TEST(TrackRoundTrip, IntervalSkipsFixesAndGapsOpenRuns) {
    auto fixes = line(31, 45.2, -75.2, 1e-4, 0);
    const auto r = decode(encodeTrack(fixes, {5, 5}));
    ASSERT_EQ(r.size(), 7u);
    for (std::size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].time, fixes[i * 5].time);
        EXPECT_NEAR(r[i].latitude, fixes[i * 5].latitude, coordinateTolerance(0));
    }
    EXPECT_EQ(runStarts(r), 1);

    // An observation off the grid is logged anyway and the grid follows it.
    fixes[12].observation = 5;
    const auto ro = decode(encodeTrack(fixes, {5, 5}));
    std::vector<int32_t> times;
    for (const auto& rec : ro) times.push_back(static_cast<int32_t>(rec.time - kNoon));
    EXPECT_EQ(times, (std::vector<int32_t>{0, 5, 10, 12, 17, 22, 27}));
    EXPECT_EQ(ro[3].flags, 11);

    // A gap of 7 seconds at an interval of 1: a new run after it.
    std::vector<Fix> gapped = line(10, 45.2, -75.2, 1e-4, 0);
    for (std::size_t i = 5; i < gapped.size(); ++i) gapped[i].time += 6;
    const auto rg = decode(encodeTrack(gapped));
    expectSameTrack(gapped, rg, coordinateTolerance(0), 0.1, 5);
    EXPECT_EQ(runStarts(rg), 2);
    // Bridged, the gap gets points in between and the run goes on.
    EncodeOptions bridged;
    bridged.bridge = 10;
    const auto rb = decode(encodeTrack(gapped, bridged));
    ASSERT_EQ(rb.size(), 16u);
    EXPECT_EQ(runStarts(rb), 1);
    EXPECT_EQ(rb[7].time, gapped[4].time + 3);
    EXPECT_NEAR(rb[7].latitude, gapped[4].latitude + (gapped[5].latitude - gapped[4].latitude) * 3 / 7,
                coordinateTolerance(0));
}

TEST(TrackRoundTrip, UnsortedAndRepeatedFixes) {
    auto fixes = line(10, 45.2, -75.2, 1e-4, 0);
    auto shuffled = fixes;
    std::swap(shuffled[2], shuffled[7]);
    Fix again = fixes[4];
    again.observation = 19;
    again.latitude += 1; // a second fix of the same second: only its observation counts
    shuffled.push_back(again);
    fixes[4].observation = 19;
    expectSameTrack(fixes, decode(encodeTrack(shuffled)), coordinateTolerance(0), 0.1, 5);
}
