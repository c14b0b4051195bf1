// Every export read back by tools no one here wrote: xmllint with the GPX 1.1
// schema, GDAL's ogrinfo, rsvg-convert, libzip; and the Darwin Core terms
// against the standard's list.
#include "export_support.h"
#include "recorded_tracks.h"

#include <zip.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

using namespace exports_test;

const std::string kGpxSchema = std::string(BEXO_TEST_DATA) + "/schemas/gpx-1.1.xsd";

std::map<std::string, long> layerCounts(const std::string& file) {
    const ToolRun run = runTool("ogrinfo", "gdal-bin", "-ro -so -al '" + file + "'");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("ERROR"), std::string::npos) << run.output;
    std::map<std::string, long> counts;
    std::string layer;
    for (const std::string& line : splitLines(run.output)) {
        if (line.rfind("Layer name: ", 0) == 0) layer = line.substr(12);
        if (line.rfind("Feature Count: ", 0) == 0) counts[layer] = std::stol(line.substr(15));
    }
    return counts;
}

long onlyLayerCount(const std::string& file) {
    const auto counts = layerCounts(file);
    EXPECT_EQ(counts.size(), 1u);
    return counts.size() == 1 ? counts.begin()->second : -1;
}

struct Lines {
    std::size_t features = 0, parts = 0, vertices = 0;
};

// The line geometries of a layer as GDAL reads them.
Lines linesOf(const std::string& file, const std::string& layer) {
    const ToolRun run = runTool("ogrinfo", "gdal-bin", "-ro -al -geom=ISO_WKT '" + file + "' '" + layer + "'");
    Lines lines;
    for (const std::string& line : splitLines(run.output)) {
        const std::size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || (line.compare(at, 4, "LINE") != 0 && line.compare(at, 10, "MULTILINES") != 0)) continue;
        ++lines.features;
        const bool multi = line.compare(at, 5, "MULTI") == 0;
        const auto opens = static_cast<std::size_t>(std::count(line.begin(), line.end(), '('));
        lines.parts += multi ? opens - 1 : 1;
        lines.vertices += static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
    }
    return lines;
}

std::size_t drawableSegments(const LogPlan& plan, std::size_t* points = nullptr) {
    std::size_t n = 0, p = 0;
    for (const Segment& s : plan.segments)
        if (s.points >= 2) {
            ++n;
            p += s.points;
        }
    if (points != nullptr) *points = p;
    return n;
}

std::set<std::string> dwcTermList() {
    std::set<std::string> terms;
    for (const std::string& line : splitLines(readFile(std::string(BEXO_TEST_DATA) + "/dwc/terms.txt"))) terms.insert(line);
    EXPECT_GT(terms.size(), 100u);
    return terms;
}

// Logs for every test here: the recorded tracks, and one of several segments
// with records that must stay out (a negative time, a latitude of 127).
std::vector<std::pair<std::string, std::vector<LogRecord>>> logs() {
    std::vector<std::pair<std::string, std::vector<LogRecord>>> all;
    for (const recorded::TrackImage& t : recorded::all()) all.emplace_back(t.name, recorded::records(t.image));
    std::vector<LogRecord> broken = all.back().second;
    broken.resize(60);
    broken[10].time = -100;
    broken[20].latitude = 127;
    broken[30].time += 1000; // a jump: a second segment...
    for (std::size_t i = 31; i < broken.size(); ++i) broken[i].time += 1000;
    broken[59].time += 5000; // ...and a third, of a single point
    all.emplace_back("broken", broken);
    return all;
}

class ExternalTools : public ExportFolder {};

TEST_F(ExternalTools, GpxIsValidGpx11AndGdalReadsEveryPoint) {
    for (const auto& [name, records] : logs()) {
        SCOPED_TRACE(name);
        const ExportResult r = exportAs(records, {ExportFormat::Gpx}, name);
        const std::string file = path(name + ".gpx");
        const ToolRun lint = runTool("xmllint", "libxml2-utils", "--noout --schema '" + kGpxSchema + "' '" + file + "'");
        EXPECT_EQ(lint.exitCode, 0) << lint.output;
        const auto counts = layerCounts(file);
        EXPECT_EQ(counts.at("track_points"), static_cast<long>(r.plan.trackPoints));
        EXPECT_EQ(counts.at("waypoints"), static_cast<long>(r.plan.observations.size()));
        EXPECT_EQ(counts.at("tracks"), 1);
        const Lines lines = linesOf(file, "tracks");
        EXPECT_EQ(lines.parts, r.plan.segments.size());
        EXPECT_EQ(lines.vertices, r.plan.trackPoints);
    }
}

TEST_F(ExternalTools, KmlHasATrackPerSegmentAndAPlacemarkPerObservation) {
    for (const auto& [name, records] : logs()) {
        SCOPED_TRACE(name);
        const ExportResult r = exportAs(records, {ExportFormat::Kml}, name);
        const std::string file = path(name + ".kml");
        const ToolRun lint = runTool("xmllint", "libxml2-utils", "--noout '" + file + "'");
        EXPECT_EQ(lint.exitCode, 0) << lint.output;
        const auto counts = layerCounts(file);
        EXPECT_EQ(counts.at("Track"), static_cast<long>(r.plan.segments.size()));
        EXPECT_EQ(counts.at("Observations"), static_cast<long>(r.plan.observations.size()));
        const Lines lines = linesOf(file, "Track");
        EXPECT_EQ(lines.features, r.plan.segments.size());
        EXPECT_EQ(lines.vertices, r.plan.trackPoints);
    }
}

TEST_F(ExternalTools, GeoJsonHasOneLineAndAPointPerObservation) {
    for (const auto& [name, records] : logs()) {
        SCOPED_TRACE(name);
        const ExportResult r = exportAs(records, {ExportFormat::GeoJson}, name);
        const std::string file = path(name + ".geojson");
        const auto counts = layerCounts(file);
        ASSERT_EQ(counts.size(), 1u);
        EXPECT_EQ(counts.begin()->second, static_cast<long>(1 + r.plan.observations.size()));
        const Lines lines = linesOf(file, counts.begin()->first);
        std::size_t points = 0;
        EXPECT_EQ(lines.features, 1u);
        EXPECT_EQ(lines.parts, drawableSegments(r.plan, &points));
        EXPECT_EQ(lines.vertices, points);
        const bool single = std::any_of(r.plan.segments.begin(), r.plan.segments.end(),
                                        [](const Segment& s) { return s.points == 1; });
        EXPECT_EQ(std::any_of(r.warnings.begin(), r.warnings.end(),
                              [](const std::string& w) { return w.find("single point") != std::string::npos; }),
                  single);
    }
}

TEST_F(ExternalTools, CsvRowsAndColumnsAsGdalReadsThem) {
    ExportOptions observations;
    observations.csvRows = CsvRows::Observations;
    for (const auto& [name, records] : logs()) {
        SCOPED_TRACE(name);
        const ExportResult r = exportAs(records, {ExportFormat::Csv}, name);
        EXPECT_EQ(onlyLayerCount(path(name + ".csv")), static_cast<long>(r.plan.trackPoints));
        exportAs(records, {ExportFormat::Csv}, name + "-o", observations);
        EXPECT_EQ(onlyLayerCount(path(name + "-o.csv")), static_cast<long>(r.plan.observations.size()));
    }
}

TEST_F(ExternalTools, DarwinCoreTermsAreTermsOfTheStandard) {
    const std::set<std::string> terms = dwcTermList();
    ExportOptions options;
    options.recordedBy = "Jo \"Roadside\" Example, volunteer";
    options.datasetName = "Wildlife, Route 9";
    const auto [name, records] = logs().front();
    const ExportResult r = exportAs(records, {ExportFormat::Dwc}, name, options);
    const std::string file = path(name + ".dwc.csv");
    const std::vector<std::string> rows = splitLines(readFile(file), "\r\n");
    ASSERT_EQ(rows.size(), 1 + r.plan.observations.size());
    for (const std::string& term : splitLines(rows[0], ","))
        EXPECT_TRUE(terms.count("http://rs.tdwg.org/dwc/terms/" + term)) << term << " is no Darwin Core term";
    // What a portal needs of every occurrence; GDAL reads the quoted fields back whole.
    const ToolRun run = runTool("ogrinfo", "gdal-bin", "-ro -al '" + file + "'");
    const std::vector<std::string> read = splitLines(run.output);
    EXPECT_EQ(static_cast<std::size_t>(std::count(read.begin(), read.end(), "  basisOfRecord (String) = HumanObservation")),
              r.plan.observations.size());
    EXPECT_NE(run.output.find("recordedBy (String) = Jo \"Roadside\" Example, volunteer"), std::string::npos);
    EXPECT_NE(run.output.find("datasetName (String) = Wildlife, Route 9"), std::string::npos);
    std::set<std::string> ids;
    for (const std::string& line : read)
        if (line.rfind("  occurrenceID (String) = ", 0) == 0) ids.insert(line);
    EXPECT_EQ(ids.size(), r.plan.observations.size()); // unique
}

std::map<std::string, std::string> unzip(const std::string& file) {
    std::map<std::string, std::string> entries;
    int code = 0;
    zip_t* archive = zip_open(file.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (archive == nullptr) {
        ADD_FAILURE() << "libzip cannot open " << file << ": error " << code;
        return entries;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
        zip_file_t* f = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        std::string data(static_cast<std::size_t>(st.size), '\0');
        EXPECT_EQ(zip_fread(f, data.data(), st.size), static_cast<zip_int64_t>(st.size));
        zip_fclose(f);
        entries[st.name] = data;
    }
    zip_close(archive);
    return entries;
}

TEST_F(ExternalTools, DarwinCoreArchiveDescribesItsOccurrenceFile) {
    const std::set<std::string> terms = dwcTermList();
    const auto [name, records] = logs().front();
    ExportOptions options;
    options.recordedBy = "A. Observer";
    exportAs(records, {ExportFormat::Dwc}, name, options);
    options.dwcArchive = true;
    exportAs(records, {ExportFormat::Dwc}, name, options);
    const auto entries = unzip(path(name + ".dwca.zip"));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries.at("occurrence.txt"), readFile(path(name + ".dwc.csv")));
    for (const char* xml : {"meta.xml", "eml.xml"}) {
        FILE* f = std::fopen(path(xml).c_str(), "wb");
        std::fwrite(entries.at(xml).data(), 1, entries.at(xml).size(), f);
        std::fclose(f);
        const ToolRun lint = runTool("xmllint", "libxml2-utils", "--noout '" + path(xml) + "'");
        EXPECT_EQ(lint.exitCode, 0) << xml << ": " << lint.output;
    }
    const auto xpath = [&](const std::string& expression) {
        std::string value = runTool("xmllint", "libxml2-utils", "--xpath \"" + expression + "\" '" + path("meta.xml") + "'").output;
        if (!value.empty() && value.back() == '\n') value.pop_back();
        return value;
    };
    EXPECT_EQ(xpath("string(//*[local-name()='core']/*[local-name()='files']/*[local-name()='location'])"),
              "occurrence.txt");
    EXPECT_EQ(xpath("string(//*[local-name()='archive']/@metadata)"), "eml.xml");
    EXPECT_EQ(xpath("string(//*[local-name()='core']/@ignoreHeaderLines)"), "1");
    const std::vector<std::string> header = splitLines(splitLines(entries.at("occurrence.txt"), "\r\n")[0], ",");
    EXPECT_EQ(xpath("string(//*[local-name()='core']/*[local-name()='id']/@index)"),
              std::to_string(std::find(header.begin(), header.end(), "occurrenceID") - header.begin()));
    EXPECT_EQ(xpath("count(//*[local-name()='field'])"), std::to_string(header.size()));
    for (std::size_t i = 0; i < header.size(); ++i) {
        const std::string term =
            xpath("string(//*[local-name()='field'][@index='" + std::to_string(i) + "']/@term)");
        EXPECT_EQ(term, "http://rs.tdwg.org/dwc/terms/" + header[i]);
        EXPECT_TRUE(terms.count(term)) << term;
    }
    const std::string eml = entries.at("eml.xml");
    EXPECT_NE(eml.find("<surName>A. Observer</surName>"), std::string::npos) << eml;
}

// Width and height from a PNG's IHDR chunk.
std::pair<uint32_t, uint32_t> pngSize(const std::string& png) {
    const auto be = [&](std::size_t at) {
        return static_cast<uint32_t>(static_cast<unsigned char>(png[at])) << 24 |
               static_cast<uint32_t>(static_cast<unsigned char>(png[at + 1])) << 16 |
               static_cast<uint32_t>(static_cast<unsigned char>(png[at + 2])) << 8 |
               static_cast<uint32_t>(static_cast<unsigned char>(png[at + 3]));
    };
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || png.compare(12, 4, "IHDR") != 0) return {0, 0};
    return {be(16), be(20)};
}

TEST_F(ExternalTools, PicturesRenderWithoutError) {
    ExportOptions options;
    options.datasetName = "Kreis <Darmstadt> & \"Wisconsin\"";
    for (const auto& [name, records] : logs()) {
        SCOPED_TRACE(name);
        exportAs(records, {ExportFormat::Svg, ExportFormat::Png}, name, options);
        const std::string svg = path(name + ".svg");
        const ToolRun lint = runTool("xmllint", "libxml2-utils", "--noout '" + svg + "'");
        EXPECT_EQ(lint.exitCode, 0) << lint.output;
        const ToolRun render = runTool("rsvg-convert", "librsvg2-bin", "-o '" + path(name + ".svg.png") + "' '" + svg + "'");
        EXPECT_EQ(render.exitCode, 0) << render.output;
        EXPECT_EQ(render.output, "");
        EXPECT_EQ(pngSize(readFile(path(name + ".svg.png"))), (std::pair<uint32_t, uint32_t>{1200, 900}));
        EXPECT_EQ(pngSize(readFile(path(name + ".png"))), (std::pair<uint32_t, uint32_t>{1200, 900}));
        // Kept for a person to look at.
        std::filesystem::create_directories("pictures");
        std::filesystem::copy_file(path(name + ".png"), "pictures/" + name + ".png",
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

} // namespace
