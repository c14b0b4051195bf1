// Plan once, write every file under a temporary name, and rename them all
// only when all are written.
#include "pendingfile.h"
#include "textexport.h"
#include "writers.h"

#include <filesystem>
#include <set>

namespace {

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void warnAboutPlan(const LogPlan& plan, std::vector<std::string>& warnings) {
    const LeftOut& out = plan.leftOut;
    if (out.total() == 0) return;
    std::string text = plural(out.total(), "record", "records") + " of " + std::to_string(plan.records) +
                       " left out of the geometry:";
    if (out.negativeTime > 0) text += " " + std::to_string(out.negativeTime) + " with a negative time";
    if (out.negativeTime > 0 && out.outsideEarth > 0) text += ",";
    if (out.outsideEarth > 0) text += " " + std::to_string(out.outsideEarth) + " with a position outside the earth";
    if (out.observations > 0) text += "; " + plural(out.observations, "observation", "observations") + " among them";
    warnings.push_back(text);
}

void warnAboutFormat(ExportFormat format, const ExportInput& in, std::vector<std::string>& warnings) {
    if (format == ExportFormat::GeoJson) {
        std::size_t single = 0;
        for (const Segment& s : in.plan.segments) single += s.points == 1;
        if (single > 0)
            warnings.push_back("geojson: " + plural(single, "segment", "segments") +
                               " of a single point left out of the line (a line needs two points)");
    }
    if (format == ExportFormat::Dwc) {
        if (in.plan.observations.empty()) warnings.push_back("dwc: the log holds no observations");
        if (in.options.recordedBy.empty()) warnings.push_back("dwc: recordedBy is empty (give --recorded-by)");
    }
}

std::string summary(ExportFormat format, const ExportInput& in, const std::string& path) {
    const LogPlan& plan = in.plan;
    std::string what;
    switch (format) {
    case ExportFormat::Text: what = plural(plan.records, "record", "records"); break;
    case ExportFormat::Dwc: what = plural(plan.observations.size(), "occurrence", "occurrences"); break;
    case ExportFormat::Csv:
        what = in.options.csvRows == CsvRows::Records ? plural(plan.trackPoints, "record", "records")
                                                      : plural(plan.observations.size(), "observation", "observations");
        break;
    default:
        what = plural(plan.trackPoints, "track point", "track points") + " in " +
               plural(plan.segments.size(), "segment", "segments") + ", " +
               plural(plan.observations.size(), "observation", "observations");
    }
    return std::string(formatName(format)) + ": " + what + " written to " + path;
}

void writeText(const ExportInput& in, FILE* file) {
    writeLogTextWith(in.records, static_cast<unsigned>(in.count), file, in.options.family, in.options.merge);
}

bool writeOne(ExportFormat format, const ExportInput& in, PendingFile& file, std::string& error) {
    bool ok = true;
    if (format == ExportFormat::Text) {
        writeText(in, file.file);
    } else if (format == ExportFormat::Png) {
#if defined(BEXO_HAVE_CAIRO)
        ok = writePng(in, file.file, error);
        if (!ok) error = "cannot write '" + file.target + "': " + error;
#endif
    } else if (format == ExportFormat::Dwc && in.options.dwcArchive) {
        if (!closePendingFile(file, error)) return false;
#if defined(BEXO_HAVE_LIBZIP)
        return writeDwcArchive(in, file, error);
#endif
    } else {
        TextSink out(file.file);
        switch (format) {
        case ExportFormat::Gpx: writeGpx(in, out); break;
        case ExportFormat::GeoJson: writeGeoJson(in, out); break;
        case ExportFormat::Kml: writeKml(in, out); break;
        case ExportFormat::Csv: writeCsv(in, out); break;
        case ExportFormat::Dwc: writeDwcCsv(in, out); break;
        case ExportFormat::Svg: writeSvg(in, out); break;
        default: break;
        }
        if (!out.flush()) {
            error = "cannot write '" + file.target + "'";
            ok = false;
        }
    }
    return closePendingFile(file, error) && ok;
}

} // namespace

ExportResult exportLog(const LogRecord* records, std::size_t count, const ExportOptions& options,
                       const std::vector<ExportFile>& files) {
    ExportResult result;
    std::set<std::string> paths;
    bool drawn = false;
    for (const ExportFile& f : files) {
        if (!formatAvailable(f.format, options, result.error)) return result;
        if (!paths.insert(f.path).second) {
            result.error = "two formats would write the same file '" + f.path + "'";
            return result;
        }
        std::error_code ignored;
        if (std::filesystem::is_directory(f.path, ignored)) {
            result.error = "cannot write '" + f.path + "': it is a folder";
            return result;
        }
        drawn = drawn || f.format != ExportFormat::Text;
    }
    if (count == 0) {
        result.error = "the log holds no records";
        return result;
    }
    result.plan = planLog(records, count,
                          PlanOptions{layoutForFamily(options.family), options.merge, options.gapSeconds});
    if (drawn && result.plan.trackPoints == 0) {
        result.error = "none of the " + plural(count, "record", "records") + " has a valid time and position";
        return result;
    }
    warnAboutPlan(result.plan, result.warnings);

    const ExportInput in{records, count, result.plan, options};
    std::vector<PendingFile> pending(files.size());
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (!createPendingFile(files[k].path, pending[k], result.error) ||
            !writeOne(files[k].format, in, pending[k], result.error)) {
            for (PendingFile& p : pending) discardPendingFile(p);
            return result;
        }
        warnAboutFormat(files[k].format, in, result.warnings);
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        if (!commitPendingFile(pending[k], result.error)) {
            for (PendingFile& p : pending) discardPendingFile(p);
            return result;
        }
        result.written.push_back(summary(files[k].format, in, files[k].path));
    }
    result.ok = true;
    return result;
}
