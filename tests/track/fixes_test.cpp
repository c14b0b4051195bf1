// GPX tracks as encoder fixes, and recorded tracks through a log image.
#include "../logimage/decode.h"
#include "logimage/logimage.h"
#include "track/gpx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace track;

namespace {

Gpx readTrack(const char* name) {
    Gpx gpx;
    std::string error;
    EXPECT_TRUE(readGpxFile(std::string(BEXO_TEST_DATA) + "/tracks/" + name, gpx, error)) << error;
    return gpx;
}

Waypoint waypoint(std::string name, std::string sym = {}, std::string type = {}) {
    Waypoint w;
    w.name = std::move(name);
    w.symbol = std::move(sym);
    w.type = std::move(type);
    return w;
}

// A straight segment northwards, 10 m a second, one point a second.
Gpx northbound(int points, bool withSpeed) {
    Gpx gpx;
    gpx.segments.emplace_back();
    for (int i = 0; i < points; ++i) {
        TrackPoint p;
        p.latitude = 45.0 + i * 10.0 / 111195.0;
        p.longitude = -75.0;
        p.hasTime = true;
        p.time = 1600000000.7 + i;
        p.hasSpeed = withSpeed;
        p.speed = 4.0;
        gpx.segments[0].points.push_back(p);
    }
    return gpx;
}

} // namespace

TEST(GpxFixes, ObservationTypesFromWaypoints) {
    EXPECT_EQ(observationType(waypoint("x", "", "19")), 19);
    EXPECT_EQ(observationType(waypoint("x", "", "127")), 127);
    EXPECT_EQ(observationType(waypoint("Dead deer")), 19);
    EXPECT_EQ(observationType(waypoint("x", "ROADKILL")), 19);
    EXPECT_EQ(observationType(waypoint("Carcass")), 19);
    EXPECT_EQ(observationType(waypoint("Deer crossing")), 5);
    EXPECT_EQ(observationType(waypoint("x", "", "Crossing")), 5);
    EXPECT_EQ(observationType(waypoint("crossing", "", "dead")), 19); // dead wins
    EXPECT_EQ(observationType(waypoint("x", "", "0")), 0);
    EXPECT_EQ(observationType(waypoint("x", "", "128")), 0);
    EXPECT_EQ(observationType(waypoint("Cafe", "Flag")), 0);
}

TEST(GpxFixes, WaypointsMarkTheRightPoint) {
    // North for 30 s, then back south along the same road: point 59 - i lies on point i.
    Gpx gpx = northbound(60, true);
    for (std::size_t i = 30; i < 60; ++i) gpx.segments[0].points[i].latitude = gpx.segments[0].points[59 - i].latitude;
    auto at = [&](int i, double eastMetres) {
        Waypoint w;
        w.latitude = gpx.segments[0].points[static_cast<std::size_t>(i)].latitude;
        w.longitude = -75.0 + eastMetres / (111195.0 * std::cos(45.0 * 3.14159265358979 / 180));
        return w;
    };
    Waypoint near = at(10, 30); // as near to 10 as to 49: the first pass
    near.name = "dead fox";
    Waypoint far = at(20, 80); // out of reach
    far.name = "dead fox";
    Waypoint same = at(10, 0); // 10 is taken: the nearest free point is 49
    same.type = "5";
    Waypoint timed = at(5, 5); // its time picks the pass back
    timed.type = "crossing";
    timed.hasTime = true;
    timed.time = gpx.segments[0].points[54].time + 0.3;
    gpx.waypoints = {near, far, same, timed};

    const auto fixes = toFixes(gpx);
    ASSERT_EQ(fixes.size(), 60u);
    std::vector<int> marked;
    for (std::size_t i = 0; i < fixes.size(); ++i)
        if (fixes[i].observation) marked.push_back(static_cast<int>(i) * 1000 + fixes[i].observation);
    EXPECT_EQ(marked, (std::vector<int>{10019, 49005, 54005}));
}

TEST(GpxFixes, TimesAndSpeeds) {
    FixOptions opts;
    opts.speedLimitKmh = 80;
    const auto given = toFixes(northbound(5, true), opts);
    ASSERT_EQ(given.size(), 5u);
    EXPECT_EQ(given[0].time, 1600000000); // rounded down
    EXPECT_DOUBLE_EQ(given[0].speedKmh, 4.0 * 3.6);
    EXPECT_EQ(given[0].speedLimitKmh, 80);
    const auto derived = toFixes(northbound(5, false));
    for (const auto& f : derived) EXPECT_NEAR(f.speedKmh, 36.0, 0.01);

    Gpx lone;
    lone.segments.resize(2);
    lone.segments[0].points.resize(1);
    lone.segments[0].points[0].hasTime = true;
    lone.segments[1].points.resize(1); // no time: left out
    const auto one = toFixes(lone);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].speedKmh, 0.0);
}

TEST(GpxFixes, RecordedTracksSurviveALogImage) {
    const struct {
        const char* file;
        int family;
        int interval;
        unsigned shift; // of the resolution the track's speeds allow
    } cases[] = {{"logger-a.gpx", 5, 5, 0}, {"logger-b.gpx", 5, 1, 0}, {"logger-b.gpx", 3, 1, 2}, {"logger-b.gpx", 4, 1, 2}};
    const logimage_test::AllFamilies gate;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " family " + std::to_string(c.family));
        const auto fixes = toFixes(readTrack(c.file));
        const auto records = logimage_test::decode(logimage::encodeTrack(fixes, {c.family, c.interval}));
        ASSERT_EQ(records.size(), fixes.size()); // steps are the interval or longer: every fix is logged
        const double tol = (1u << c.shift) * 65536.0 / 14316.0 / 600000.0 / 2 + 1e-5;
        for (std::size_t i = 0; i < fixes.size(); ++i) {
            EXPECT_EQ(records[i].time, fixes[i].time);
            EXPECT_NEAR(records[i].latitude, fixes[i].latitude, tol);
            EXPECT_NEAR(records[i].longitude, fixes[i].longitude, tol);
            EXPECT_NEAR(records[i].speed, fixes[i].speedKmh, c.family == 5 ? 0.1 : 0.93);
        }
    }
    EXPECT_THROW(logimage::encodeTrack(toFixes(readTrack("logger-a.gpx")), {3, 5}), std::invalid_argument);
}
