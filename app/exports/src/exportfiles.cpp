#include "exports.h"

#include <filesystem>

std::vector<ExportFile> exportFiles(const std::vector<ExportFormat>& formats, const std::string& image,
                                    const std::string& output, const ExportOptions& options) {
    namespace fs = std::filesystem;
    const fs::path imagePath(image);
    const fs::path stem = imagePath.stem();
    std::error_code ignored;
    const bool folder = !output.empty() && (output.back() == '/' || output.back() == '\\' || fs::is_directory(output, ignored));
    std::vector<ExportFile> files;
    for (const ExportFormat format : formats) {
        const std::string extension = formatExtension(format, options);
        std::string path;
        if (output.empty())
            path = (imagePath.parent_path() / stem).string() + extension;
        else if (folder)
            path = (fs::path(output) / stem).string() + extension;
        else if (formats.size() == 1)
            path = output;
        else
            path = output + extension;
        files.push_back({format, path});
    }
    return files;
}
