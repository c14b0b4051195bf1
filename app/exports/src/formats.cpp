#include "exports.h"

namespace {

struct FormatInfo {
    ExportFormat format;
    const char* name;
    const char* extension;
};

constexpr FormatInfo kFormats[] = {
    {ExportFormat::Text, "txt", ".txt"},         {ExportFormat::Gpx, "gpx", ".gpx"},
    {ExportFormat::GeoJson, "geojson", ".geojson"}, {ExportFormat::Kml, "kml", ".kml"},
    {ExportFormat::Csv, "csv", ".csv"},          {ExportFormat::Dwc, "dwc", ".dwc.csv"},
    {ExportFormat::Svg, "svg", ".svg"},          {ExportFormat::Png, "png", ".png"},
};

const FormatInfo& infoOf(ExportFormat format) {
    for (const FormatInfo& info : kFormats)
        if (info.format == format) return info;
    return kFormats[0];
}

} // namespace

const char* formatName(ExportFormat format) { return infoOf(format).name; }

std::optional<ExportFormat> formatNamed(const std::string& name) {
    for (const FormatInfo& info : kFormats)
        if (name == info.name) return info.format;
    return std::nullopt;
}

std::vector<ExportFormat> allFormats() {
    std::vector<ExportFormat> formats;
    for (const FormatInfo& info : kFormats) formats.push_back(info.format);
    return formats;
}

std::string formatExtension(ExportFormat format, const ExportOptions& options) {
    if (format == ExportFormat::Dwc && options.dwcArchive) return ".dwca.zip";
    return infoOf(format).extension;
}

// cairo and libzip are not cross-built for Windows; the rest needs only the
// C++ library and header-only nlohmann-json.
bool formatAvailable(ExportFormat format, const ExportOptions& options, std::string& reason) {
#if !defined(BEXO_HAVE_CAIRO)
    if (format == ExportFormat::Png) {
        reason = "png is not available in this build of bexolog (it has no cairo); svg draws the same picture";
        return false;
    }
#endif
#if !defined(BEXO_HAVE_LIBZIP)
    if (format == ExportFormat::Dwc && options.dwcArchive) {
        reason = "the Darwin Core Archive (dwc --archive) is not available in this build of bexolog (it has no "
                 "libzip); dwc without --archive writes the occurrence CSV";
        return false;
    }
#endif
    (void)format;
    (void)options;
    reason.clear();
    return true;
}
