// GPX 1.1: the observations as waypoints, then one track with a segment per
// planned segment. What GPX has no element for (speed, the observation's
// codes) goes into extensions of our own namespace:
//   trkpt and wpt: <bexo:speed> m/s, <bexo:speedLimit> km/h
//   wpt only:      <bexo:code> its type, <bexo:types> every type merged into
//                  it ("5 19"), <bexo:records> how many observation records
#include "writers.h"
#include "xmltext.h"

#include <algorithm>

namespace {

constexpr const char* kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"bexolog\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:bexo=\"urn:bexo:gpx-extensions:1\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";

// GPX longitudes stop short of 180: the same meridian is written as -180.
double gpxLongitude(double longitude) { return longitude >= 179.9999995 ? -180.0 : longitude; }

void putPosition(TextSink& out, const char* element, const LogRecord& r) {
    out.put('<').put(element).put(" lat=\"").fixed(r.latitude, 6).put("\" lon=\"");
    out.fixed(gpxLongitude(r.longitude), 6).put("\">");
}

void putSpeeds(TextSink& out, const LogRecord& r) {
    out.put("<bexo:speed>").fixed(r.speed / 3.6, 2).put("</bexo:speed><bexo:speedLimit>").integer(r.speedLimit);
    out.put("</bexo:speedLimit>");
}

void putMetadata(const ExportInput& in, TextSink& out) {
    double south = 90, north = -90, west = 180, east = -180;
    for (const Segment& s : in.plan.segments)
        forEachPoint(in.records, s, [&](std::size_t i) {
            const LogRecord& r = in.records[i];
            south = std::min<double>(south, r.latitude);
            north = std::max<double>(north, r.latitude);
            west = std::min<double>(west, r.longitude);
            east = std::max<double>(east, r.longitude);
        });
    out.put("  <metadata>");
    if (!in.options.datasetName.empty()) {
        out.put("<name>");
        putXmlEscaped(out, in.options.datasetName);
        out.put("</name>");
    }
    if (!in.options.recordedBy.empty()) {
        out.put("<author><name>");
        putXmlEscaped(out, in.options.recordedBy);
        out.put("</name></author>");
    }
    out.put("<time>").isoUtc(in.plan.firstTime).put("</time>");
    out.put("<bounds minlat=\"").fixed(south, 6).put("\" minlon=\"").fixed(gpxLongitude(west), 6);
    out.put("\" maxlat=\"").fixed(north, 6).put("\" maxlon=\"").fixed(gpxLongitude(east), 6).put("\"/></metadata>\n");
}

void putWaypoint(const ExportInput& in, TextSink& out, const Observation& o) {
    const LogRecord& r = in.records[o.record];
    out.put("  ");
    putPosition(out, "wpt", r);
    out.put("<time>").isoUtc(r.time).put("</time><name>");
    putXmlEscaped(out, observationNames(in.plan.layout, o));
    out.put("</name><type>");
    putXmlEscaped(out, observationName(in.plan.layout, o.type()));
    out.put("</type><extensions>");
    putSpeeds(out, r);
    out.put("<bexo:code>").integer(o.type()).put("</bexo:code><bexo:types>").put(observationCodes(o));
    out.put("</bexo:types><bexo:records>").integer(static_cast<long long>(o.records));
    out.put("</bexo:records></extensions></wpt>\n");
}

} // namespace

void writeGpx(const ExportInput& in, TextSink& out) {
    out.put(kHeader);
    putMetadata(in, out);
    for (const Observation& o : in.plan.observations) putWaypoint(in, out, o);
    out.put("  <trk><name>Bexo log</name>\n");
    for (const Segment& s : in.plan.segments) {
        out.put("    <trkseg>\n");
        forEachPoint(in.records, s, [&](std::size_t i) {
            const LogRecord& r = in.records[i];
            out.put("      ");
            putPosition(out, "trkpt", r);
            out.put("<time>").isoUtc(r.time).put("</time><extensions>");
            putSpeeds(out, r);
            out.put("</extensions></trkpt>\n");
        });
        out.put("    </trkseg>\n");
    }
    out.put("  </trk>\n</gpx>\n");
}
