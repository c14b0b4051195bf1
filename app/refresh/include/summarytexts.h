// What the Summary page shows, as texts made from the cached unit state.
#pragma once

#include "unitrefresh.h"

#include <string>

// The program's FileVersion, as its version resource carries it.
extern const char* const kFileVersion; // "3, 0, 0, 5"

// "Version %c.%c%c" from characters 0, 9 and 10 of a FileVersion value;
// empty when the value is missing or shorter than 10 characters.
std::string versionLabel(const char* fileVersion);

struct SummaryTexts {
    std::string versionLabel;   // 1049
    std::string versions;       // 1011 "USB 1.05  CPU 2.31"
    std::string customerMark;   // 1050 "for Quillmere" or empty
    std::string cpu;            // 1037 "0C41"
    std::string loggingCapable; // 1038 "Yes" / "No"
    std::string serialNumber;   // 1034 "00042"
    std::string bytesUsed;      // 1036 "01500"
    std::string logs;           // 1022 "3 files and 1000 bytes"
};

// With no unit open the page's disconnected form: "None" and "No".
SummaryTexts summaryTexts(const UnitState& state, bool unitOpen);
