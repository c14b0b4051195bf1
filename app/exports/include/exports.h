// Exports of a parsed log for GIS, map and biodiversity tools: GPX 1.1,
// GeoJSON, KML, CSV, Darwin Core, and a picture of the drive (SVG, PNG); and
// the log text file. One call writes every file asked for, each under a
// temporary name first: on failure none of them is left behind.
#pragma once

#include "bexolog_parser.h"
#include "trackplan.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class ExportFormat { Text, Gpx, GeoJson, Kml, Csv, Dwc, Svg, Png };

// "txt", "gpx", "geojson", "kml", "csv", "dwc", "svg", "png".
const char* formatName(ExportFormat format);
std::optional<ExportFormat> formatNamed(const std::string& name);
std::vector<ExportFormat> allFormats();

enum class CsvRows { Records, Observations };

struct ExportOptions {
    uint16_t family = 0x8100; // the unit's EEPROM family: text layout, merge rules, observation names
    MergeOptions merge;
    int64_t gapSeconds = 300;
    CsvRows csvRows = CsvRows::Records;
    bool dwcArchive = false; // Darwin Core Archive (zip) in place of the CSV
    std::string recordedBy;
    std::string datasetName;
    double uncertaintyMetres = 30; // coordinateUncertaintyInMeters of every occurrence
};

// False, with the reason, for a format this build cannot write.
bool formatAvailable(ExportFormat format, const ExportOptions& options, std::string& reason);

// File extension, with its dot: ".gpx"; ".dwc.csv" or ".dwca.zip" for Darwin Core.
std::string formatExtension(ExportFormat format, const ExportOptions& options);

struct ExportFile {
    ExportFormat format;
    std::string path;
};

// Where the files go. `output` empty: beside `image`, named after it. An
// existing folder (or a name ending in a slash): inside it, named after the
// image. Otherwise, with one format, the file itself; with several, a base
// name to which each format's extension is added.
std::vector<ExportFile> exportFiles(const std::vector<ExportFormat>& formats, const std::string& image,
                                    const std::string& output, const ExportOptions& options);

struct ExportResult {
    bool ok = false;
    std::string error;                 // when not ok
    std::vector<std::string> warnings; // records left out, and the like
    std::vector<std::string> written;  // one line per file: what went into it
    LogPlan plan;
};

// Plans the records once and writes every file. Fails, writing nothing, when
// no record has a valid time and position or a format is not available.
ExportResult exportLog(const LogRecord* records, std::size_t count, const ExportOptions& options,
                       const std::vector<ExportFile>& files);

// Text given on a command line as the exports can carry it: valid UTF-8,
// without control characters (each bad byte becomes U+FFFD).
std::string cleanText(const std::string& text);

// Makes local times (the CSV's local column, the picture's title, the text
// layouts) follow `zone` for the rest of the process: a tz database name
// ("Europe/Berlin", not on Windows) or a POSIX TZ value ("CET-1CEST",
// "MST7MDT"). False, changing nothing, for a zone this machine does not know.
bool useTimeZone(const std::string& zone, std::string& error);
