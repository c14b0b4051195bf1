// The GPX reader on the recorded tracks and on damaged or unusual documents.
#include "track/gpx.h"

#include <gtest/gtest.h>

#include <string>

using namespace track;

namespace {

Gpx readShared(const char* name) {
    Gpx gpx;
    std::string error;
    EXPECT_TRUE(readGpxFile(std::string(BEXO_TEST_DATA) + "/tracks/" + name, gpx, error)) << error;
    return gpx;
}

std::size_t pointCount(const Gpx& gpx) {
    std::size_t n = 0;
    for (const Segment& s : gpx.segments) n += s.points.size();
    return n;
}

std::string failure(const std::string& doc) {
    Gpx gpx;
    std::string error;
    EXPECT_FALSE(parseGpx(doc, gpx, error)) << doc;
    return error;
}

} // namespace

TEST(GpxReader, RecordedTracks) {
    const Gpx a = readShared("logger-a.gpx");
    ASSERT_EQ(a.segments.size(), 4u); // one per <trk>
    EXPECT_EQ(pointCount(a), 395u);
    const TrackPoint& first = a.segments[0].points[0];
    EXPECT_DOUBLE_EQ(first.latitude, 49.881633759);
    EXPECT_DOUBLE_EQ(first.longitude, 8.079854012);
    EXPECT_TRUE(first.hasTime);
    EXPECT_DOUBLE_EQ(first.time, 1238231612.0); // 2009-03-28T09:13:32Z, not the metadata time
    EXPECT_TRUE(first.hasSpeed);
    EXPECT_DOUBLE_EQ(first.speed, 0.5);
    EXPECT_DOUBLE_EQ(a.segments[3].points.back().time, 1238268479.0);

    const Gpx b = readShared("logger-b.gpx");
    ASSERT_EQ(b.segments.size(), 1u);
    EXPECT_EQ(pointCount(b), 154u);
    EXPECT_NEAR(b.segments[0].points[0].time, 1091849348.379, 1e-6);
    EXPECT_DOUBLE_EQ(b.segments[0].points[0].longitude, -88.121721667);
    EXPECT_TRUE(a.waypoints.empty() && b.waypoints.empty());
}

TEST(GpxReader, VersionOneOneWithExtensionsAndWaypoints) {
    const std::string doc = R"(<?xml version="1.0"?>
<!DOCTYPE gpx>
<g:gpx version="1.1" xmlns:g="http://www.topografix.com/GPX/1/1">
  <metadata><time>2020-01-01T00:00:00Z</time><name>trip</name></metadata>
  <!-- a <trkpt> in a comment is not a point -->
  <wpt lat='45.5' lon="-75.5"><name><![CDATA[Deer & fawn <dead>]]></name><sym>Pin</sym>
    <time>2021-05-01T12:00:05+02:00</time></wpt>
  <wpt lat="45.6" lon="-75.6"><name>Moose &amp; calf</name><type>5</type></wpt>
  <trk><name>ignored</name><trkseg>
    <g:trkpt lat="+45.5" lon="-75.5"><time>2021-05-01T10:00:00Z</time>
      <extensions><tpx:TrackPointExtension><tpx:speed>12.5</tpx:speed></tpx:TrackPointExtension></extensions>
    </g:trkpt>
    <trkpt lat="45.50001" lon="-75.5"/>
    <trkpt lat="45.50002" lon="-75.5"><time>2021-05-01T10:00:02</time></trkpt>
  </trkseg><trkseg></trkseg></trk>
</g:gpx>
)";
    Gpx gpx;
    std::string error;
    ASSERT_TRUE(parseGpx(doc, gpx, error)) << error;
    ASSERT_EQ(gpx.segments.size(), 2u);
    ASSERT_EQ(gpx.segments[0].points.size(), 3u);
    EXPECT_TRUE(gpx.segments[0].points[0].hasSpeed);
    EXPECT_DOUBLE_EQ(gpx.segments[0].points[0].speed, 12.5);
    EXPECT_FALSE(gpx.segments[0].points[1].hasTime);
    EXPECT_DOUBLE_EQ(gpx.segments[0].points[2].time, 1619863202.0); // no zone: UTC
    ASSERT_EQ(gpx.waypoints.size(), 2u);
    EXPECT_EQ(gpx.waypoints[0].name, "Deer & fawn <dead>");
    EXPECT_EQ(gpx.waypoints[0].symbol, "Pin");
    EXPECT_DOUBLE_EQ(gpx.waypoints[0].time, 1619863205.0);
    EXPECT_EQ(gpx.waypoints[1].name, "Moose & calf");
    EXPECT_EQ(gpx.waypoints[1].type, "5");
}

TEST(GpxReader, MalformedDocumentsNameTheProblemAndLine) {
    const std::string ok = "<gpx><trk><trkseg>";
    const struct {
        std::string doc;
        const char* message;
    } cases[] = {
        {"", "line 1: no GPX element"},
        {"<kml></kml>", "not a GPX document"},
        {"<gpx>\n<trk>\n</gpx>", "line 3: end tag </gpx> does not close <trk>"},
        {"<gpx><trk>", "document ends inside <trk>"},
        {"<gpx></gpx><gpx/>", "content after the GPX element"},
        {"<gpx><!-- never closed", "unterminated comment"},
        {"<!DOCTYPE gpx [<!ENTITY a 'b'>]><gpx/>", "internal subset"},
        {"<gpx", "unterminated tag <gpx>"},
        {"<gpx version=1.0/>", "not quoted"},
        {"<gpx a=\"1\"b=\"2\"/>", "malformed tag"},
        {"<gpx>&nbsp;</gpx>", "unknown entity &nbsp;"},
        {"<gpx>&#xZZ;</gpx>", "bad character reference"},
        {ok + "<trkpt lat=\"45\"/>", "without lat and lon"},
        {ok + "<trkpt lat=\"91\" lon=\"1\"/>", "bad latitude \"91\""},
        {ok + "<trkpt lat=\"45\" lon=\"nan\"/>", "bad longitude"},
        {ok + "<trkpt lat=\"45\" lon=\"1\"><time>yesterday</time></trkpt>", "bad time \"yesterday\""},
        {ok + "<trkpt lat=\"45\" lon=\"1\"><speed>fast</speed></trkpt>", "bad speed"},
    };
    for (const auto& c : cases) {
        const std::string error = failure(c.doc);
        EXPECT_NE(error.find(c.message), std::string::npos) << "document: " << c.doc << "\nerror: " << error;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    }
    std::string deep = "<gpx>";
    for (int i = 0; i < 100000; ++i) deep += "<a>";
    EXPECT_NE(failure(deep).find("nested too deeply"), std::string::npos);
}

TEST(GpxReader, EveryPrefixOfADocumentIsHandled) {
    const std::string doc = R"(<?xml version="1.0"?><gpx><wpt lat="1" lon="2"><name>a&lt;b</name></wpt>)"
                            R"(<trk><trkseg><trkpt lat="45.5" lon="-75.5"><time>2021-05-01T10:00:00.25Z</time>)"
                            R"(<speed>3</speed></trkpt></trkseg></trk></gpx>)";
    for (std::size_t len = 0; len < doc.size(); ++len) {
        // An exact-size copy, so a read past its end is caught by ASan.
        const std::string cut = doc.substr(0, len);
        Gpx gpx;
        std::string error;
        EXPECT_FALSE(parseGpx(cut, gpx, error)) << len;
        EXPECT_FALSE(error.empty());
    }
    Gpx gpx;
    std::string error;
    EXPECT_TRUE(parseGpx(doc, gpx, error)) << error;
    EXPECT_DOUBLE_EQ(gpx.segments.at(0).points.at(0).time, 1619863200.25);
}

TEST(GpxReader, Times) {
    double t = 0;
    EXPECT_TRUE(parseTime("2004-08-07T03:29:08.379Z", t));
    EXPECT_NEAR(t, 1091849348.379, 1e-6);
    EXPECT_TRUE(parseTime(" 2000-02-29T23:59:59-01:30 ", t));
    EXPECT_DOUBLE_EQ(t, 951868799.0 + 5400);
    EXPECT_TRUE(parseTime("1969-12-31T23:59:59Z", t));
    EXPECT_DOUBLE_EQ(t, -1.0);
    for (const char* bad : {"", "2004-08-07 03:29:08Z", "2001-02-29T00:00:00Z", "2004-08-07T24:00:00Z",
                            "2004-08-07T03:29:08.Z", "2004-08-07T03:29:08Zjunk", "2004-08-07T03:29:08+0200",
                            "+004-08-07T03:29:08Z"})
        EXPECT_FALSE(parseTime(bad, t)) << bad;
}
