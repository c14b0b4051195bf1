// Only two kinds of observation have a meaning the system states: those the
// Download page's options "Merge log records for dead wildlife." and "Merge
// log records for crossing wildlife." fold, which the merge rules tie to types
// 19 and 20 and to type 5 (coded and grouped layouts), and to bit 6 of
// `flags` (flag layout). Every other type is named by its number.
#include "trackplan.h"

std::string observationName(LogLayout layout, unsigned type) {
    if (layout == LogLayout::Flag) {
        const unsigned flags = type << 1u;
        if (flags & 0x40u) return "dead wildlife";
    } else {
        if (type == 19 || type == 20) return "dead wildlife";
        if (type == 5) return "wildlife crossing";
    }
    return "observation " + std::to_string(type);
}
