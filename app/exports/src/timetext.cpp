#include "timetext.h"

#include <ctime>

namespace {

void twoDigits(char* out, unsigned value) {
    out[0] = static_cast<char>('0' + value / 10 % 10);
    out[1] = static_cast<char>('0' + value % 10);
}

} // namespace

// Proleptic Gregorian calendar in eras of 400 years.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

void writeIsoUtc(char* out, int64_t time) {
    int64_t days = time / 86400;
    int64_t seconds = time % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    const auto y = static_cast<unsigned>(year);
    twoDigits(out, y / 100);
    twoDigits(out + 2, y % 100);
    out[4] = '-';
    twoDigits(out + 5, month);
    out[7] = '-';
    twoDigits(out + 8, day);
    out[10] = 'T';
    const auto s = static_cast<unsigned>(seconds);
    twoDigits(out + 11, s / 3600);
    out[13] = ':';
    twoDigits(out + 14, s / 60 % 60);
    out[16] = ':';
    twoDigits(out + 17, s % 60);
    out[19] = 'Z';
}

std::string isoUtc(int64_t time) {
    std::string text(kIsoUtcLength, ' ');
    writeIsoUtc(text.data(), time);
    return text;
}

std::string isoUtcDate(int64_t time) { return isoUtc(time).substr(0, 10); }

bool toLocalTime(int64_t time, LocalTime& out) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm local{};
#if defined(_WIN32)
    if (localtime_s(&local, &t) != 0) return false;
#else
    if (localtime_r(&t, &local) == nullptr) return false;
#endif
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    // Not every C library has tm_gmtoff: the offset is the local fields read as UTC, less the time.
    const int64_t asUtc = daysFromCivil(out.year, static_cast<unsigned>(out.month), static_cast<unsigned>(out.day)) * 86400 +
                          out.hour * 3600 + out.minute * 60 + out.second;
    out.offsetSeconds = static_cast<int>(asUtc - time);
    char zone[64] = {};
    if (std::strftime(zone, sizeof zone, "%Z", &local) == 0) zone[0] = 0;
    out.zone = zone;
    return true;
}

std::string isoLocal(int64_t time) {
    LocalClock clock;
    std::string text(kIsoLocalLength, ' ');
    return writeIsoLocal(clock, time, text.data()) ? text : std::string();
}

bool writeIsoLocal(LocalClock& clock, int64_t time, char* out) {
    const int64_t minute = time >= 0 ? time / 60 : (time - 59) / 60;
    if (minute != clock.minute) {
        LocalTime l{};
        clock.minute = minute;
        clock.known = toLocalTime(time, l);
        clock.offsetSeconds = l.offsetSeconds;
    }
    if (!clock.known) return false;
    writeIsoUtc(out, time + clock.offsetSeconds);
    const int offset = clock.offsetSeconds < 0 ? -clock.offsetSeconds : clock.offsetSeconds;
    out[19] = clock.offsetSeconds < 0 ? '-' : '+';
    twoDigits(out + 20, static_cast<unsigned>(offset / 3600));
    out[22] = ':';
    twoDigits(out + 23, static_cast<unsigned>(offset / 60 % 60));
    return true;
}
