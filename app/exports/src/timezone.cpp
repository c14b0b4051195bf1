// TZ is the one zone setting every C library reads. glibc takes a tz database
// name or a POSIX rule and silently falls back to UTC for anything else, the
// Windows C library knows only "NAME[+|-]h[:mm[:ss]][DSTNAME]": a zone is
// checked here before it is set.
#include "exports.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <regex>

namespace {

#if defined(_WIN32)
const std::regex kRule(R"([A-Za-z]{3}[+-]?\d{1,2}(:\d{2}){0,2}([A-Za-z]{3,})?)");
#else
const std::regex kRule(R"((<[A-Za-z0-9+-]{3,}>|[A-Za-z]{3,})[+-]?\d{1,2}(:\d{2}){0,2})"
                       R"(((<[A-Za-z0-9+-]{3,}>|[A-Za-z]{3,})([+-]?\d{1,2}(:\d{2}){0,2})?(,[^,]+,[^,]+)?)?)");

bool inZoneDatabase(std::string name) {
    if (!name.empty() && name[0] == ':') name.erase(0, 1);
    const std::filesystem::path path(name);
    if (name.empty() || path.is_absolute()) return false;
    for (const auto& part : path)
        if (part == "..") return false;
    const char* folder = std::getenv("TZDIR");
    std::error_code ignored;
    return std::filesystem::is_regular_file(std::filesystem::path(folder != nullptr ? folder : "/usr/share/zoneinfo") / path,
                                            ignored);
}
#endif

} // namespace

bool useTimeZone(const std::string& zone, std::string& error) {
#if defined(_WIN32)
    if (!std::regex_match(zone, kRule)) {
        error = "unknown time zone '" + zone + "': this Windows build knows zones only as NAME[+|-]h[:mm][DSTNAME], "
                "such as MST7MDT or CET-1CEST";
        return false;
    }
    _putenv_s("TZ", zone.c_str());
    _tzset();
#else
    if (!inZoneDatabase(zone) && !std::regex_match(zone, kRule)) {
        error = "unknown time zone '" + zone + "': give a tz database name such as Europe/Berlin, or a POSIX TZ "
                "value such as CET-1CEST,M3.5.0,M10.5.0/3";
        return false;
    }
    setenv("TZ", zone.c_str(), 1);
    tzset();
#endif
    return true;
}
