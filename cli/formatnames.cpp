#include "formatnames.h"

#include <algorithm>

std::vector<ExportFormat> formatsNamed(const std::vector<std::string>& names) {
    std::vector<ExportFormat> formats;
    for (const std::string& name : names) {
        const ExportFormat format = *formatNamed(name);
        if (std::find(formats.begin(), formats.end(), format) == formats.end()) formats.push_back(format);
    }
    return formats;
}
