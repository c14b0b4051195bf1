// GeoJSON (RFC 7946): one line feature for the track (a LineString, or a
// MultiLineString for several segments) whose `times` and `speeds` hold a
// value per vertex, nested per segment like the coordinates; then a Point
// feature per observation. The track's vertices are streamed; each
// observation's feature is small and built as a JSON value.
#include "timetext.h"
#include "writers.h"

#include <nlohmann/json.hpp>

#include <cmath>

namespace {

// A line needs two positions: a segment of one point stays out of it.
bool drawable(const Segment& s) { return s.points >= 2; }

std::size_t drawableSegments(const LogPlan& plan) {
    std::size_t n = 0;
    for (const Segment& s : plan.segments) n += drawable(s);
    return n;
}

double rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

// Writes every drawable segment as an array of `vertex` outputs; one level
// more when the geometry is a MultiLineString.
template <typename VertexFn>
void putPerVertex(const ExportInput& in, TextSink& out, bool multi, VertexFn vertex) {
    if (multi) out.put('[');
    bool firstSegment = true;
    for (const Segment& s : in.plan.segments) {
        if (!drawable(s)) continue;
        if (!firstSegment) out.put(',');
        firstSegment = false;
        out.put('[');
        bool first = true;
        forEachPoint(in.records, s, [&](std::size_t i) {
            if (!first) out.put(',');
            first = false;
            vertex(in.records[i]);
        });
        out.put(']');
    }
    if (multi) out.put(']');
}

void putTrack(const ExportInput& in, TextSink& out) {
    const bool multi = drawableSegments(in.plan) > 1;
    out.put("{\"type\":\"Feature\",\"geometry\":{\"type\":\"").put(multi ? "MultiLineString" : "LineString");
    out.put("\",\"coordinates\":");
    putPerVertex(in, out, multi, [&](const LogRecord& r) {
        out.put('[').fixed(r.longitude, 6).put(',').fixed(r.latitude, 6).put(']');
    });
    out.put("},\"properties\":{\"kind\":\"track\",\"start\":\"").isoUtc(in.plan.firstTime);
    out.put("\",\"end\":\"").isoUtc(in.plan.lastTime).put("\",\"records\":").integer(static_cast<long long>(in.plan.trackPoints));
    out.put(",\"times\":");
    putPerVertex(in, out, multi, [&](const LogRecord& r) { out.put('"').isoUtc(r.time).put('"'); });
    out.put(",\"speeds\":");
    putPerVertex(in, out, multi, [&](const LogRecord& r) { out.fixed(r.speed, 2); });
    out.put("}}");
}

std::string observationFeature(const ExportInput& in, const Observation& o) {
    const LogRecord& r = in.records[o.record];
    nlohmann::ordered_json types = nlohmann::ordered_json::array();
    for (uint8_t k = 0; k < o.typeCount; ++k) types.push_back(o.types[k]);
    const nlohmann::ordered_json feature = {
        {"type", "Feature"},
        {"geometry", {{"type", "Point"}, {"coordinates", {rounded(r.longitude, 6), rounded(r.latitude, 6)}}}},
        {"properties",
         {{"kind", "observation"},
          {"time", isoUtc(r.time)},
          {"type", o.type()},
          {"name", observationName(in.plan.layout, o.type())},
          {"types", types},
          {"names", observationNames(in.plan.layout, o)},
          {"records", o.records},
          {"speed", rounded(r.speed, 2)},
          {"speedLimit", r.speedLimit}}}};
    return feature.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace

void writeGeoJson(const ExportInput& in, TextSink& out) {
    out.put("{\"type\":\"FeatureCollection\",\"features\":[\n");
    bool first = true;
    if (drawableSegments(in.plan) > 0) {
        putTrack(in, out);
        first = false;
    }
    for (const Observation& o : in.plan.observations) {
        if (!first) out.put(",\n");
        first = false;
        out.put(observationFeature(in, o));
    }
    out.put("\n]}\n");
}
