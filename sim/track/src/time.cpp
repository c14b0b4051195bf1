#include "track/gpx.h"

#include <charconv>

namespace track {

namespace {

// Reads exactly `width` digits at `pos`.
bool digits(std::string_view s, std::size_t& pos, std::size_t width, int& value) {
    if (pos + width > s.size()) return false;
    const auto [end, ec] = std::from_chars(s.data() + pos, s.data() + pos + width, value);
    if (ec != std::errc() || end != s.data() + pos + width || s[pos] == '-' || s[pos] == '+') return false;
    pos += width;
    return true;
}

bool expect(std::string_view s, std::size_t& pos, char c) {
    if (pos >= s.size() || s[pos] != c) return false;
    ++pos;
    return true;
}

int64_t daysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

} // namespace

bool parseTime(std::string_view text, double& seconds) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    std::size_t p = 0;
    int year, month, day, hour, minute, second;
    if (!digits(text, p, 4, year) || !expect(text, p, '-') || !digits(text, p, 2, month) || !expect(text, p, '-') ||
        !digits(text, p, 2, day) || !expect(text, p, 'T') || !digits(text, p, 2, hour) || !expect(text, p, ':') ||
        !digits(text, p, 2, minute) || !expect(text, p, ':') || !digits(text, p, 2, second))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 60)
        return false;
    double fraction = 0;
    if (p < text.size() && text[p] == '.') {
        double scale = 0.1;
        const std::size_t start = ++p;
        for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p, scale /= 10) fraction += (text[p] - '0') * scale;
        if (p == start) return false;
    }
    int offset = 0;
    if (p < text.size() && text[p] == 'Z') {
        ++p;
    } else if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        const int sign = text[p++] == '-' ? -1 : 1;
        int oh, om;
        if (!digits(text, p, 2, oh) || !expect(text, p, ':') || !digits(text, p, 2, om) || oh > 23 || om > 59)
            return false;
        offset = sign * (oh * 3600 + om * 60);
    }
    if (p != text.size()) return false;
    const int64_t whole = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset;
    seconds = static_cast<double>(whole) + fraction;
    return true;
}

} // namespace track
