#include "logline.h"

#include <ctime>

namespace {

bool toLocalTime(int32_t seconds, std::tm& out) {
    if (seconds < 0) return false;
    const std::time_t t = seconds;
#if defined(_WIN32)
    return localtime_s(&out, &t) == 0;
#else
    return localtime_r(&t, &out) != nullptr;
#endif
}

} // namespace

void followLocalTimeRules() {
    // glibc's localtime_r reads TZ only once per process unless told again.
#if defined(_WIN32)
    _tzset();
#else
    tzset();
#endif
}

void writeLineStart(FILE* file, int32_t time, float latitude, float longitude) {
    std::tm local{};
    if (toLocalTime(time, local)) {
        std::fprintf(file, "%d/%02d/%02d  %02d:%02d:%02d  ", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour, local.tm_min, local.tm_sec);
    } else {
        std::fputs("----/--/--  --:--:--  ", file);
    }
    std::fprintf(file, "%.6lf  %.6lf  ", static_cast<double>(latitude), static_cast<double>(longitude));
}

void writeLineEnd(FILE* file) { std::fputs("\r\n", file); }

void writeMaskColumns(FILE* file, uint32_t mask, std::initializer_list<int> columns) {
    for (const int column : columns) std::fprintf(file, "%d ", static_cast<int>((mask >> column) & 1u));
}
