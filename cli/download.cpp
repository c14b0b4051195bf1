// bexolog download: the export program's download into a log text file,
// the raw image beside it, optionally the export formats, optionally the
// clear afterwards. --all works through every unit that can be opened.
//
// Exit codes: 0 done; 1 no unit, a file that cannot be used, or a unit the
// export program does not work with; 2 the unit failed; 3 the download was
// unsuccessful (a log file could not be read, the text file could not be
// written, an export failed) or the clear afterwards was (no clear then
// follows a failed download); 130 cancelled by Ctrl-C.
#include "commands.h"
#include "console.h"
#include "formatnames.h"
#include "logrecords.h"
#include "rawimage.h"
#include "summarytexts.h"
#include "unitflows.h"
#include "unitlink.h"

#include "exports.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

struct DownloadOptions {
    std::string output;
    std::string raw;
    bool noMergeDead = false;
    bool noMergeCrossing = false;
    bool clear = false;
    bool all = false;
    std::vector<std::string> formats;
    UnitChoice unit;
};

struct Outcome {
    int exitCode = 0;
    std::vector<std::string> lines; // the result, for stdout
    std::string summary;            // --all: one line for the unit
};

// "bexo-00042-20240501-143000.txt": the serial number and the local time.
std::string defaultName(const UnitState& state) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return "bexo-" + summaryTexts(state, true).serialNumber + "-" + stamp + ".txt";
}

// The text file is written anyway: the formats beside it.
std::vector<ExportFormat> formatsBesideText(const std::vector<std::string>& names) {
    std::vector<ExportFormat> formats = formatsNamed(names);
    formats.erase(std::remove(formats.begin(), formats.end(), ExportFormat::Text), formats.end());
    return formats;
}

ExportOptions exportOptionsFor(const UnitState& state, const DownloadOptions& o) {
    ExportOptions e;
    e.family = state.eeFamily;
    e.merge = MergeOptions{!o.noMergeDead, !o.noMergeCrossing};
    return e;
}

// The formats beside the text file, from the downloaded image.
bool writeExports(const std::vector<uint8_t>& image, const std::string& textPath, const UnitState& state,
                  const DownloadOptions& o, Outcome& out, ConsoleDialog& console) {
    const std::vector<ExportFormat> formats = formatsBesideText(o.formats);
    if (formats.empty()) return true;
    const ExportOptions options = exportOptionsFor(state, o);
    std::vector<LogRecord> records;
    std::string error;
    parseImage(image, records, error);
    if (records.empty()) {
        console.line("no log records to export");
        return true;
    }
    const ExportResult result = exportLog(records.data(), records.size(), options, exportFiles(formats, textPath, "", options));
    for (const std::string& w : result.warnings) console.line("warning: " + w);
    if (!result.ok) {
        console.line(result.error);
        return false;
    }
    out.lines.insert(out.lines.end(), result.written.begin(), result.written.end());
    return true;
}

Outcome downloadUnit(std::atomic<int>& unit, const std::string& command, const DownloadOptions& o,
                     const std::string& folder) {
    Outcome out;
    ConsoleDialog console(command, unit);
    UnitState state;
    if (!refreshOnConsole(unit, command, state)) {
        out.exitCode = 2;
        out.summary = "the unit did not answer";
        return out;
    }
    const std::string serial = summaryTexts(state, true).serialNumber;
    if (!state.unitConfigurable) {
        out.exitCode = 1;
        out.summary = serial + ": " + notConfigurable(state) + "; nothing was read";
        console.line("the unit is " + notConfigurable(state) + "; nothing was read");
        return out;
    }
    const std::string textPath =
        o.output.empty() || o.all ? (fs::path(folder) / defaultName(state)).string() : o.output;
    // The name is tried as the program does, by opening it for appending.
    std::error_code ignored;
    const bool existed = fs::exists(textPath, ignored);
    FILE* tried = std::fopen(textPath.c_str(), "a+");
    if (!tried) {
        out.exitCode = 1;
        out.summary = serial + ": cannot write " + textPath;
        console.line("cannot write the log text to '" + textPath + "'");
        return out;
    }
    std::fclose(tried);

    std::string logFilePath = textPath;
    std::string statusMessage;
    std::atomic<bool> downloadRunning{false};
    DownloadSetup setup = downloadSetup(state, MergeOptions{!o.noMergeDead, !o.noMergeCrossing});
    setup.keepImage = true;
    console.followDownload();
    setup.logFileStep = [&console](const LogFileStep& step) { console.logFileStep(step); };
    DownloadReport report;
    {
        DownloadDialog download(DownloadValues{unit, logFilePath, statusMessage, downloadRunning}, std::move(setup),
                                console.link());
        while (!download.waitUntilFinished(std::chrono::milliseconds(50))) {
            if (InterruptWatch::interrupted()) {
                download.cancel();
                // Left only once no library call is under way.
                while (!download.waitUntilFinished(std::chrono::milliseconds(100))) {}
                break;
            }
        }
        report = download.report();
    }
    console.finish();

    if (report.cancelled) {
        if (!existed && fs::exists(textPath, ignored) && fs::file_size(textPath, ignored) == 0) fs::remove(textPath, ignored);
        console.line("cancelled: no log text or raw image was written; the unit's logs are as they were");
        out.exitCode = 130;
        out.summary = serial + ": cancelled";
        return out;
    }
    if (report.result < 0) {
        if (!existed && fs::exists(textPath, ignored) && fs::file_size(textPath, ignored) == 0) fs::remove(textPath, ignored);
        out.exitCode = 2;
        out.summary = serial + ": the unit failed";
        return out;
    }

    // The raw image: into an existing bexo-log.bin beside the text (the
    // worker's copy), or, asked for, a file of its own.
    std::string rawPath = o.raw;
    if (o.all) rawPath = fs::path(textPath).replace_extension(".bin").string();
    bool rawOk = true;
    if (!rawPath.empty()) {
        std::string error;
        rawOk = writeFileAtomically(rawPath, report.image, error);
        if (!rawOk) console.line(error);
    } else {
        rawPath = report.rawImagePath;
    }

    const std::string first = statusMessage.substr(0, statusMessage.find('\n'));
    out.lines.push_back(first);
    if (report.textWritten) out.lines.push_back("Log text: " + textPath);
    if (rawOk && !rawPath.empty()) out.lines.push_back("Raw image: " + rawPath);
    if (report.result != 1) {
        console.line("the download was unsuccessful: " + statusMessage + "; nothing was cleared");
        out.exitCode = 3;
        out.summary = serial + ": unsuccessful: " + first;
        return out;
    }
    const bool exported = writeExports(report.image, textPath, state, o, out, console);
    if (!rawOk || !exported) {
        out.exitCode = 3;
        out.summary = serial + ": downloaded, but a file could not be written" + (o.clear ? "; not cleared" : "");
        if (o.clear) console.line("not cleared: not every file asked for was written");
        return out;
    }
    out.summary = serial + ": " + first + ", " + textPath;
    if (!o.clear) return out;
    if (InterruptWatch::interrupted()) {
        console.line("interrupted; nothing was cleared");
        out.exitCode = 130;
        return out;
    }
    const ClearOutcome cleared = clearOnConsole(unit, command, state, statusMessage);
    out.lines.insert(out.lines.end(), cleared.lines.begin(), cleared.lines.end());
    out.exitCode = cleared.exitCode;
    out.summary += cleared.exitCode == 0 ? "; cleared" : "; the clear failed";
    return out;
}

void runDownload(const DownloadOptions& o) {
    InterruptWatch interrupts;
    StdoutToStderr quiet;
    const std::string command = "bexolog download";
    ExportOptions check;
    std::string error;
    for (const ExportFormat f : formatsBesideText(o.formats))
        if (!formatAvailable(f, check, error)) {
            std::fprintf(stderr, "%s: %s\n", command.c_str(), error.c_str());
            throw CLI::RuntimeError(1);
        }
    if (!o.all) {
        UnitSession session(command, o.unit);
        session.open(false);
        const Outcome out = downloadUnit(session.unit, command, o, ".");
        quiet.restore();
        for (const std::string& line : out.lines) std::printf("%s\n", line.c_str());
        if (out.exitCode != 0) throw CLI::RuntimeError(out.exitCode);
        return;
    }
    const std::string folder = o.output.empty() ? "." : o.output;
    std::error_code ignored;
    if (!fs::is_directory(folder, ignored)) {
        std::fprintf(stderr, "%s: with --all, -o names an existing folder: '%s' is not one\n", command.c_str(),
                     folder.c_str());
        throw CLI::RuntimeError(1);
    }
    const std::vector<int> units = openEveryUnit();
    if (units.empty()) {
        UnitSession none(command);
        none.open(false); // says there is none
    }
    int worst = 0;
    std::vector<std::string> summaries;
    for (const int opened : units) {
        std::atomic<int> unit{opened};
        Outcome out = InterruptWatch::interrupted() ? Outcome{130, {}, "not downloaded: interrupted"}
                                                    : downloadUnit(unit, command, o, folder);
        closeUnit(unit);
        summaries.push_back(out.summary);
        if (out.exitCode != 0 && (worst == 0 || out.exitCode == 130)) worst = out.exitCode;
    }
    quiet.restore();
    for (const std::string& line : summaries) std::printf("%s\n", line.c_str());
    if (worst != 0) throw CLI::RuntimeError(worst);
}

} // namespace

void addDownloadCommand(CLI::App& app) {
    auto o = std::make_shared<DownloadOptions>();
    CLI::App* cmd = app.add_subcommand("download", "Download the unit's logs into a log text file, as the export "
                                                   "program does; optionally clear the unit afterwards.");
    cmd->add_option("-o,--output", o->output,
                    "Log text file (default: bexo-SERIAL-DATE-TIME.txt here); with --all the folder for the files");
    cmd->add_option("--raw", o->raw,
                    "Write the raw log image to this file (default: into an existing bexo-log.bin beside the text)");
    cmd->add_flag("--no-merge-dead", o->noMergeDead, "Do not merge log records for dead wildlife");
    cmd->add_flag("--no-merge-crossing", o->noMergeCrossing, "Do not merge log records for crossing wildlife");
    cmd->add_flag("--clear", o->clear, "Clear the unit's log space after a download that succeeded");
    std::vector<std::string> names;
    for (const ExportFormat f : allFormats())
        if (f != ExportFormat::Text) names.emplace_back(formatName(f));
    cmd->add_option("-f,--format", o->formats, "Also write this export beside the text file (as bexolog export)")
        ->delimiter(',')
        ->check(CLI::IsMember(names));
    cmd->add_flag("--all", o->all, "Every unit that can be opened, one after another, each into files named by its "
                                   "serial number");
    addUnitOptions(cmd, o->unit);
    cmd->callback([o] {
        if (o->all && (!o->unit.index.empty() || !o->unit.serial.empty() || !o->raw.empty())) {
            std::fprintf(stderr, "bexolog download: --all takes neither --unit, --serial nor --raw\n");
            throw CLI::RuntimeError(1);
        }
        runDownload(*o);
    });
}
