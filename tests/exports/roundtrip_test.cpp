// The recorded tracks, laid into log images and exported: what the GPX and
// GeoJSON files carry is what the records hold, to the printed precision, and
// the observations are the text layouts' observation lines.
#include "export_support.h"
#include "recorded_tracks.h"
#include "textexport.h"
#include "track/gpx.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace {

using namespace exports_test;

// Six decimals, as every export prints them.
void expectPrinted(double got, float record) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.6f", static_cast<double>(record));
    EXPECT_NEAR(got, std::stod(printed), 1e-9) << record;
}

using RoundTrip = ExportFolder;

TEST_F(RoundTrip, GpxCarriesEveryTrackPointAndObservation) {
    for (const recorded::TrackImage& t : recorded::all()) {
        SCOPED_TRACE(t.name);
        const std::vector<LogRecord> records = recorded::records(t.image);
        const ExportResult r = exportAs(records, {ExportFormat::Gpx}, t.name);
        track::Gpx gpx;
        std::string error;
        ASSERT_TRUE(track::readGpxFile(path(t.name + ".gpx"), gpx, error)) << error;
        ASSERT_EQ(gpx.segments.size(), r.plan.segments.size());
        std::size_t n = 0;
        for (std::size_t s = 0; s < gpx.segments.size(); ++s) {
            ASSERT_EQ(gpx.segments[s].points.size(), r.plan.segments[s].points);
            std::size_t j = 0;
            forEachPoint(records.data(), r.plan.segments[s], [&](std::size_t i) {
                const track::TrackPoint& p = gpx.segments[s].points[j++];
                expectPrinted(p.latitude, records[i].latitude);
                expectPrinted(p.longitude, records[i].longitude);
                EXPECT_TRUE(p.hasTime);
                EXPECT_EQ(p.time, static_cast<double>(records[i].time)); // a copy: the field is packed
                EXPECT_TRUE(p.hasSpeed);
                EXPECT_NEAR(p.speed * 3.6, records[i].speed, 0.02);
                ++n;
            });
        }
        EXPECT_EQ(n, records.size());
        ASSERT_EQ(gpx.waypoints.size(), r.plan.observations.size());
        for (std::size_t w = 0; w < gpx.waypoints.size(); ++w) {
            const Observation& o = r.plan.observations[w];
            EXPECT_EQ(gpx.waypoints[w].time, static_cast<double>(records[o.record].time));
            expectPrinted(gpx.waypoints[w].latitude, records[o.record].latitude);
            EXPECT_EQ(gpx.waypoints[w].type, observationName(LogLayout::Flag, o.type()));
        }
    }
}

TEST_F(RoundTrip, GeoJsonCarriesEveryVertexWithItsTime) {
    for (const recorded::TrackImage& t : recorded::all()) {
        SCOPED_TRACE(t.name);
        const std::vector<LogRecord> records = recorded::records(t.image);
        ExportOptions options;
        options.family = 0x8200;
        const ExportResult r = exportAs(records, {ExportFormat::GeoJson}, t.name, options);
        const nlohmann::json doc = nlohmann::json::parse(readFile(path(t.name + ".geojson")));
        ASSERT_EQ(doc["type"], "FeatureCollection");
        const nlohmann::json& features = doc["features"];
        ASSERT_EQ(features.size(), 1 + r.plan.observations.size());
        const nlohmann::json& line = features[0];
        const bool multi = line["geometry"]["type"] == "MultiLineString";
        EXPECT_EQ(multi, r.plan.segments.size() > 1);
        std::size_t part = 0; // a segment of a single point is no line
        for (std::size_t s = 0; s < r.plan.segments.size(); ++s) {
            if (r.plan.segments[s].points < 2) continue;
            const nlohmann::json& coordinates = multi ? line["geometry"]["coordinates"][part] : line["geometry"]["coordinates"];
            const nlohmann::json& times = multi ? line["properties"]["times"][part] : line["properties"]["times"];
            ++part;
            ASSERT_EQ(coordinates.size(), r.plan.segments[s].points);
            ASSERT_EQ(times.size(), r.plan.segments[s].points);
            std::size_t j = 0;
            forEachPoint(records.data(), r.plan.segments[s], [&](std::size_t i) {
                expectPrinted(coordinates[j][0].get<double>(), records[i].longitude);
                expectPrinted(coordinates[j][1].get<double>(), records[i].latitude);
                double seconds = 0;
                EXPECT_TRUE(track::parseTime(times[j].get<std::string>(), seconds));
                EXPECT_EQ(seconds, static_cast<double>(records[i].time));
                EXPECT_EQ(times[j].get<std::string>().back(), 'Z');
                ++j;
            });
        }
        for (std::size_t k = 0; k < r.plan.observations.size(); ++k) {
            const Observation& o = r.plan.observations[k];
            const nlohmann::json& f = features[k + 1];
            EXPECT_EQ(f["geometry"]["type"], "Point");
            expectPrinted(f["geometry"]["coordinates"][0].get<double>(), records[o.record].longitude);
            EXPECT_EQ(f["properties"]["type"], o.type());
            EXPECT_EQ(f["properties"]["name"], observationName(LogLayout::Coded, o.type()));
        }
    }
}

// Types whose text columns show in each layout, so that a line with an
// observation can be told from the text alone.
uint8_t flagTypes(std::size_t i) {
    const uint8_t types[] = {0, 0, 32, 33, 0, 16, 0, 48, 19, 0, 0, 0, 64};
    return types[i % sizeof types];
}
uint8_t codedTypes(std::size_t i) {
    const uint8_t types[] = {0, 5, 19, 0, 20, 0, 0, 7, 19, 0, 1, 20, 0, 0, 9, 5, 5};
    return types[i % sizeof types];
}

std::size_t linesWithAColumnSet(const std::string& text, LogLayout layout) {
    std::size_t n = 0;
    for (const std::string& line : splitLines(text, "\r\n")) {
        std::size_t at = 0;
        for (int field = 0; field < 4; ++field) at = line.find("  ", at) + 2;
        n += layout == LogLayout::Grouped || line.find('1', at) != std::string::npos;
    }
    return n;
}

TEST_F(RoundTrip, ObservationsAreTheTextLayoutsObservationLines) {
    struct Case {
        uint16_t family;
        recorded::Marking mark;
    };
    for (const Case c : {Case{0x8100, flagTypes}, Case{0x8200, codedTypes}, Case{0x8210, codedTypes}}) {
        for (const recorded::TrackImage& t : recorded::all(c.mark)) {
            const std::vector<LogRecord> records = recorded::records(t.image);
            for (const MergeOptions merge : {MergeOptions{true, true}, MergeOptions{false, true}, MergeOptions{true, false}}) {
                SCOPED_TRACE(testing::Message() << t.name << " family 0x" << std::hex << c.family << " dead "
                                                << merge.deadWildlife << " crossing " << merge.crossingWildlife);
                ExportOptions options;
                options.family = c.family;
                options.merge = merge;
                const ExportResult r = exportAs(records, {ExportFormat::Text, ExportFormat::Gpx}, t.name, options);
                const std::size_t lines = linesWithAColumnSet(readFile(path(t.name + ".txt")), layoutForFamily(c.family));
                EXPECT_GT(lines, 10u);
                EXPECT_EQ(r.plan.observations.size(), lines);
                track::Gpx gpx;
                std::string error;
                ASSERT_TRUE(track::readGpxFile(path(t.name + ".gpx"), gpx, error)) << error;
                EXPECT_EQ(gpx.waypoints.size(), lines);
            }
        }
    }
}

} // namespace
