// KML 2.2: a folder "Track" with a Placemark per segment holding a gx:Track
// (all its times, then all its coordinates, as gx:Track wants them), and a
// folder "Observations" with a Placemark per observation, its TimeStamp and
// a style per observation type.
#include "observation_style.h"
#include "writers.h"
#include "xmltext.h"

#include <cstdio>
#include <set>

namespace {

constexpr const char* kHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
                                "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n<Document>\n";

// KML colours are aabbggrr.
std::string kmlColour(Rgb c) {
    char text[9];
    std::snprintf(text, sizeof text, "ff%02x%02x%02x", c.b, c.g, c.r);
    return text;
}

void putStyles(const ExportInput& in, TextSink& out) {
    out.put("  <Style id=\"track\"><LineStyle><color>ffc04e1f</color><width>3</width></LineStyle></Style>\n");
    std::set<unsigned> types;
    for (const Observation& o : in.plan.observations) types.insert(o.type());
    for (const unsigned type : types) {
        out.put("  <Style id=\"type-").integer(type).put("\"><IconStyle><color>");
        out.put(kmlColour(observationColour(in.plan.layout, type))).put("</color></IconStyle></Style>\n");
    }
}

void putData(TextSink& out, const char* name, const std::string& value) {
    out.put("<Data name=\"").put(name).put("\"><value>");
    putXmlEscaped(out, value);
    out.put("</value></Data>");
}

void putSegment(const ExportInput& in, TextSink& out, const Segment& s, std::size_t number) {
    out.put("    <Placemark><name>Segment ").integer(static_cast<long long>(number));
    out.put("</name><styleUrl>#track</styleUrl>\n      <gx:Track>\n");
    forEachPoint(in.records, s, [&](std::size_t i) { out.put("        <when>").isoUtc(in.records[i].time).put("</when>\n"); });
    forEachPoint(in.records, s, [&](std::size_t i) {
        const LogRecord& r = in.records[i];
        out.put("        <gx:coord>").fixed(r.longitude, 6).put(' ').fixed(r.latitude, 6).put(" 0</gx:coord>\n");
    });
    out.put("      </gx:Track>\n    </Placemark>\n");
}

void putObservation(const ExportInput& in, TextSink& out, const Observation& o) {
    const LogRecord& r = in.records[o.record];
    out.put("    <Placemark><name>");
    putXmlEscaped(out, observationNames(in.plan.layout, o));
    out.put("</name><TimeStamp><when>").isoUtc(r.time).put("</when></TimeStamp><styleUrl>#type-").integer(o.type());
    out.put("</styleUrl><ExtendedData>");
    putData(out, "type", std::to_string(o.type()));
    putData(out, "types", observationCodes(o));
    putData(out, "records", std::to_string(o.records));
    out.put("</ExtendedData><Point><coordinates>").fixed(r.longitude, 6).put(',').fixed(r.latitude, 6);
    out.put("</coordinates></Point></Placemark>\n");
}

} // namespace

void writeKml(const ExportInput& in, TextSink& out) {
    out.put(kHeader).put("  <name>");
    putXmlEscaped(out, in.options.datasetName.empty() ? std::string("Bexo log") : in.options.datasetName);
    out.put("</name>\n");
    putStyles(in, out);
    out.put("  <Folder><name>Track</name>\n");
    std::size_t number = 0;
    for (const Segment& s : in.plan.segments) putSegment(in, out, s, ++number);
    out.put("  </Folder>\n  <Folder><name>Observations</name>\n");
    for (const Observation& o : in.plan.observations) putObservation(in, out, o);
    out.put("  </Folder>\n</Document>\n</kml>\n");
}
