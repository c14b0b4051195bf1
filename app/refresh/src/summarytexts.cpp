#include "summarytexts.h"

#include <cstdio>
#include <cstring>

const char* const kFileVersion = "3, 0, 0, 5";

std::string versionLabel(const char* v) {
    if (!v || std::strlen(v) + 1 < 11) return {};
    std::string label = "Version ";
    label += v[0];
    label += '.';
    label += v[9];
    if (v[10] != '\0') label += v[10];
    return label;
}

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

} // namespace

SummaryTexts summaryTexts(const UnitState& s, bool unitOpen) {
    SummaryTexts t;
    t.versionLabel = versionLabel(kFileVersion);
    if (!unitOpen) {
        t.versions = t.cpu = t.serialNumber = t.bytesUsed = t.logs = "None";
        t.loggingCapable = "No";
        return t;
    }
    t.versions = format("USB %d.%02d  CPU %d.%02d", s.usbVersionMajor, s.usbVersionMinor, s.cpuVersionMajor,
                        s.cpuVersionMinor);
    t.logs = format("%d files and %d bytes", s.logCount, static_cast<int>(s.logBytes));
    t.serialNumber = format("%05d", static_cast<int>(s.serialNumber));
    t.bytesUsed = format("%05d", static_cast<int>(s.logBytes + s.otherBytes));
    t.cpu = format("%04X", static_cast<unsigned>(s.cpuId));
    t.loggingCapable = s.loggingCapable ? "Yes" : "No";
    t.customerMark = s.groupedLayout ? "for Quillmere" : "";
    return t;
}
