// The archive's descriptor (meta.xml, after the Darwin Core text guidelines)
// and its dataset metadata (eml.xml, EML 2.1.1).
#include "dwc.h"
#include "fingerprint.h"
#include "timetext.h"
#include "xmltext.h"

#include <algorithm>

namespace {

std::string person(const std::string& element, const std::string& name) {
    if (name.empty()) return "<" + element + "><positionName>observer</positionName></" + element + ">";
    return "<" + element + "><individualName><surName>" + xmlEscaped(name) + "</surName></individualName></" +
           element + ">";
}

std::string coverage(const ExportInput& in) {
    const auto& obs = in.plan.observations;
    if (obs.empty()) return {};
    double south = 90, north = -90, west = 180, east = -180;
    int64_t first = in.records[obs.front().record].time, last = first;
    for (const Observation& o : obs) {
        const LogRecord& r = in.records[o.record];
        south = std::min<double>(south, r.latitude);
        north = std::max<double>(north, r.latitude);
        west = std::min<double>(west, r.longitude);
        east = std::max<double>(east, r.longitude);
        first = std::min<int64_t>(first, r.time);
        last = std::max<int64_t>(last, r.time);
    }
    return "    <coverage>\n      <geographicCoverage><geographicDescription>Where the observations were "
           "marked</geographicDescription><boundingCoordinates><westBoundingCoordinate>" +
           fixedText(west, 6) + "</westBoundingCoordinate><eastBoundingCoordinate>" + fixedText(east, 6) +
           "</eastBoundingCoordinate><northBoundingCoordinate>" + fixedText(north, 6) +
           "</northBoundingCoordinate><southBoundingCoordinate>" + fixedText(south, 6) +
           "</southBoundingCoordinate></boundingCoordinates></geographicCoverage>\n"
           "      <temporalCoverage><rangeOfDates><beginDate><calendarDate>" +
           isoUtcDate(first) + "</calendarDate></beginDate><endDate><calendarDate>" + isoUtcDate(last) +
           "</calendarDate></endDate></rangeOfDates></temporalCoverage>\n    </coverage>\n";
}

// The same observations give the same package, whatever else the log holds.
std::string packageId(const ExportInput& in) {
    uint64_t h = kFingerprintStart;
    for (const Observation& o : in.plan.observations) {
        const LogRecord& r = in.records[o.record];
        h = fingerprint(&r, sizeof r, h);
        h = fingerprint(o.types, o.typeCount, h);
    }
    char hex[17];
    for (int i = 15; i >= 0; --i, h >>= 4) hex[i] = "0123456789abcdef"[h & 15u];
    hex[16] = 0;
    return std::string("bexo-") + hex;
}

} // namespace

std::string dwcMetaXml() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<archive xmlns=\"http://rs.tdwg.org/dwc/text/\" metadata=\"eml.xml\">\n"
                      "  <core encoding=\"UTF-8\" fieldsTerminatedBy=\",\" linesTerminatedBy=\"\\r\\n\" "
                      "fieldsEnclosedBy=\"&quot;\" ignoreHeaderLines=\"1\" "
                      "rowType=\"http://rs.tdwg.org/dwc/terms/Occurrence\">\n"
                      "    <files><location>occurrence.txt</location></files>\n"
                      "    <id index=\"0\"/>\n";
    for (std::size_t t = 0; t < kDwcTermCount; ++t)
        xml += "    <field index=\"" + std::to_string(t) + "\" term=\"" + kDwcTerms[t].iri + "\"/>\n";
    return xml + "  </core>\n</archive>\n";
}

std::string dwcEmlXml(const ExportInput& in) {
    const std::string title = in.options.datasetName.empty() ? "Wildlife observations from a Bexo log" : in.options.datasetName;
    const std::size_t n = in.plan.observations.size();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<eml:eml xmlns:eml=\"eml://ecoinformatics.org/eml-2.1.1\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:schemaLocation=\"eml://ecoinformatics.org/eml-2.1.1 http://rs.gbif.org/schema/eml-gbif-profile/1.1/eml.xsd\" "
           "packageId=\"" + packageId(in) + "\" system=\"bexolog\" scope=\"system\" xml:lang=\"en\">\n"
           "  <dataset>\n    <title>" + xmlEscaped(title) + "</title>\n    " + person("creator", in.options.recordedBy) +
           "\n    <language>en</language>\n    <abstract><para>Wildlife observations marked on a Bexo GPS unit "
           "while driving: " + std::to_string(n) + (n == 1 ? " occurrence" : " occurrences") +
           ".</para></abstract>\n" + coverage(in) + "    " + person("contact", in.options.recordedBy) +
           "\n  </dataset>\n</eml:eml>\n";
}
