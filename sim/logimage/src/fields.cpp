#include "logimage/fields.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace logimage {

namespace {

constexpr int kLimits[16] = {0, 10, 15, 20, 25, 30, 35, 40, 45, 50, 60, 70, 80, 90, 100, 110};

int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

} // namespace

int64_t daysSinceEpoch(int64_t time) { return floorDiv(time, 86400); }

// Civil date of a day count (Howard Hinnant's days-to-civil).
UtcDay utcDay(int64_t time) {
    const int64_t days = daysSinceEpoch(time);
    const int64_t z = days + 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    UtcDay d;
    d.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    d.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    d.year = static_cast<int>(yoe + era * 400 + (d.month <= 2 ? 1 : 0));
    d.secondsOfDay = static_cast<uint32_t>(time - days * 86400);
    return d;
}

uint16_t dateWord(int year, int month, int day, uint32_t secondsOfDay) {
    if (year < 2000 || year > 2063 || month < 0 || month > 15 || day < 0 || day > 31 || secondsOfDay > 131071)
        throw std::invalid_argument("date outside what a date word holds (years 2000-2063)");
    return static_cast<uint16_t>(day | (month << 5) | ((year - 2000) << 9) | ((secondsOfDay >> 16) << 15));
}

uint16_t secondsWord(uint32_t secondsOfDay) { return static_cast<uint16_t>(secondsOfDay & 0xFFFFu); }

uint8_t degreeByte(int degrees, bool halfDegree) {
    if (degrees < 0 || degrees > 127) throw std::invalid_argument("degree byte holds 0 to 127 degrees");
    return static_cast<uint8_t>(degrees | (halfDegree ? 0x80 : 0));
}

uint8_t scaleByte(unsigned speedScale, unsigned shift) {
    if (speedScale > 15 || shift > 15) throw std::invalid_argument("speed scale and shift are 4-bit values");
    return static_cast<uint8_t>((speedScale << 4) | shift);
}

uint32_t fractionUnits(uint16_t stored, unsigned shift) {
    const uint32_t f = static_cast<uint16_t>(static_cast<uint32_t>(stored) << shift);
    return f * 65536u / 14316u;
}

uint16_t fractionFor(double units, unsigned shift) {
    const uint32_t top = 0xFFFFu >> shift;
    if (!(units > 0)) return 0;
    const double guess = std::floor(units * 14316.0 / 65536.0 / static_cast<double>(1u << shift));
    if (guess >= top) return static_cast<uint16_t>(top);
    // The reader truncates, so the neighbour above can be closer.
    const auto k = static_cast<uint32_t>(guess);
    const double below = std::abs(units - fractionUnits(static_cast<uint16_t>(k), shift));
    const double above = std::abs(units - fractionUnits(static_cast<uint16_t>(k + 1), shift));
    return static_cast<uint16_t>(above < below ? k + 1 : k);
}

int limitKmh(unsigned code) { return kLimits[code % 16]; }

uint8_t limitCodeFor(int kmh) {
    uint8_t best = 0;
    for (uint8_t code = 1; code < 16; ++code)
        if (std::abs(kLimits[code] - kmh) < std::abs(kLimits[best] - kmh)) best = code;
    return best;
}

} // namespace logimage
