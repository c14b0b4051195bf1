// bexolog export: raw log image -> the files GIS, map and biodiversity tools
// read, through the same entry point a download uses.
#include "commands.h"
#include "formatnames.h"
#include "imagefile.h"
#include "logrecords.h"
#include "numberarg.h"

#include "exports.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

struct CommandOptions {
    std::string image;
    std::vector<std::string> formats;
    std::string output;
    std::string family = "0x8100"; // a flag-layout family, as for convert
    bool noMergeDead = false;
    bool noMergeCrossing = false;
    std::string gap = "300";
    std::string timeZone;
    std::string rows = "records";
    bool archive = false;
    std::string recordedBy;
    std::string datasetName;
    double uncertainty = 30;
    std::string oldestVersion;
    bool acceptTruncated = false;
};

[[noreturn]] void failExport(const std::string& message) {
    std::fprintf(stderr, "bexolog export: %s\n", message.c_str());
    throw CLI::RuntimeError(1);
}

ExportOptions exportOptionsOf(const CommandOptions& o) {
    ExportOptions e;
    e.family = static_cast<uint16_t>(*parseNumber(o.family, 0xFFFF));
    e.merge = MergeOptions{!o.noMergeDead, !o.noMergeCrossing};
    e.gapSeconds = static_cast<int64_t>(*parseNumber(o.gap, 1000000000));
    e.csvRows = o.rows == "observations" ? CsvRows::Observations : CsvRows::Records;
    e.dwcArchive = o.archive;
    e.recordedBy = cleanText(o.recordedBy);
    e.datasetName = cleanText(o.datasetName);
    e.uncertaintyMetres = o.uncertainty;
    return e;
}

void runExport(const CommandOptions& o) {
    const ExportOptions options = exportOptionsOf(o);
    const std::vector<ExportFile> files = exportFiles(formatsNamed(o.formats), o.image, o.output, options);
    std::string error;
    for (const ExportFile& f : files) {
        if (!formatAvailable(f.format, options, error)) failExport(error);
        std::error_code ignored;
        if (std::filesystem::equivalent(o.image, f.path, ignored))
            failExport("the " + std::string(formatName(f.format)) + " file would overwrite the image '" + o.image +
                 "'; choose another with -o");
    }
    if (!o.timeZone.empty() && !useTimeZone(o.timeZone, error)) failExport(error);

    std::vector<unsigned char> image;
    if (!readImageFile(o.image, image, error)) failExport(error);
    if (image.empty()) failExport("the image '" + o.image + "' is empty");
    if (!o.oldestVersion.empty())
        set_oldest_usable_version(static_cast<int>(*parseNumber(o.oldestVersion, 255)));
    std::vector<LogRecord> records;
    if (!parseImage(image, records, error)) failExport(error);
    if (endsInsideRun(image) && !o.acceptTruncated)
        failExport("the image '" + o.image + "' ends inside a log run: it looks cut short (" + std::to_string(records.size()) +
             " records before its end). Export them anyway with --accept-truncated");
    if (records.empty())
        failExport("the image '" + o.image + "' holds no log records" +
             (o.oldestVersion.empty() ? " (older log families need --oldest-version)" : ""));

    const ExportResult result = exportLog(records.data(), records.size(), options, files);
    for (const std::string& warning : result.warnings) std::fprintf(stderr, "bexolog export: warning: %s\n", warning.c_str());
    if (!result.ok) failExport(result.error);
    for (const std::string& line : result.written) std::printf("%s\n", line.c_str());
}

std::string formatList() {
    std::string list;
    for (const ExportFormat f : allFormats()) list += std::string(list.empty() ? "" : ", ") + formatName(f);
    return list;
}

} // namespace

void addExportCommand(CLI::App& app) {
    auto o = std::make_shared<CommandOptions>();
    CLI::App* cmd = app.add_subcommand("export", "Export a raw log image (e.g. bexo-log.bin) for GIS, map and "
                                                 "biodiversity tools, or as a picture");
    cmd->add_option("IMAGE", o->image, "Raw log image file")->required();
    std::vector<std::string> names;
    for (const ExportFormat f : allFormats()) names.emplace_back(formatName(f));
    cmd->add_option("-f,--format", o->formats, "Format to write, repeatable or comma-separated: " + formatList())
        ->required()
        ->delimiter(',')
        ->check(CLI::IsMember(names));
    cmd->add_option("-o,--output", o->output,
                    "File to write (one format); with several formats a base name to which each format's "
                    "extension is added; an existing folder (or a name ending in /) takes files named after "
                    "IMAGE. Default: beside IMAGE, named after it");
    cmd->add_option("--family", o->family, "EEPROM family word of the unit: text layout, merge rules, observation names")
        ->type_name("0xHHHH")
        ->check(numberArgument(0xFFFF))
        ->capture_default_str();
    cmd->add_flag("--no-merge-dead", o->noMergeDead, "Do not merge log records for dead wildlife");
    cmd->add_flag("--no-merge-crossing", o->noMergeCrossing, "Do not merge log records for crossing wildlife");
    cmd->add_option("--gap", o->gap, "A longer step between two records starts a new track segment")
        ->type_name("SECONDS")
        ->check(numberArgument(1000000000))
        ->capture_default_str();
    cmd->add_option("--tz", o->timeZone, "Time zone of the local times a person reads (CSV, picture, text); "
                                         "the machine's by default. Every machine-readable time is UTC")
        ->type_name("ZONE");
    cmd->add_option("--rows", o->rows, "csv: one row per record or per observation")
        ->check(CLI::IsMember({"records", "observations"}))
        ->capture_default_str();
    cmd->add_flag("--archive", o->archive, "dwc: write a Darwin Core Archive (zip) in place of the CSV");
    cmd->add_option("--recorded-by", o->recordedBy, "dwc: who made the observations (recordedBy)")->type_name("NAME");
    cmd->add_option("--dataset-name", o->datasetName, "Name of the dataset (datasetName; also the files' titles)")
        ->type_name("NAME");
    cmd->add_option("--uncertainty", o->uncertainty, "dwc: coordinateUncertaintyInMeters of every occurrence")
        ->type_name("METRES")
        ->check(CLI::Range(1.0, 100000.0))
        ->capture_default_str();
    cmd->add_option("--oldest-version", o->oldestVersion, "Oldest log family the parser accepts (default 4)")
        ->type_name("N")
        ->check(numberArgument(255));
    cmd->add_flag("--accept-truncated", o->acceptTruncated, "Export an image that ends inside a log run");
    cmd->callback([o] { runExport(*o); });
}
