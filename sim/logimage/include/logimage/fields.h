// Field encodings shared by the raw and track levels of the log-image encoder.
#pragma once

#include <cstdint>

namespace logimage {

// Coordinates are counted in units of 1/600000 degree (1/10000 minute).
constexpr double kUnitsPerDegree = 600000.0;
// A degree byte covers 30 minutes of arc; a fraction reaches slightly past it.
constexpr uint32_t kHalfDegreeUnits = 300000;
constexpr double kKmhPerKnot = 1.852;

// Hemisphere byte of family 5.
constexpr uint8_t kNorth = 0x80;
constexpr uint8_t kWest = 0x40;
constexpr uint8_t kPlus128 = 0x20;

struct UtcDay {
    int year = 2000;
    int month = 1;
    int day = 1;
    uint32_t secondsOfDay = 0;
};

UtcDay utcDay(int64_t time);
int64_t daysSinceEpoch(int64_t time);

// Date word: day bits 0-4, month 5-8, year-2000 9-14, bit 15 = bit 16 of secondsOfDay.
uint16_t dateWord(int year, int month, int day, uint32_t secondsOfDay = 0);
uint16_t secondsWord(uint32_t secondsOfDay);

uint8_t degreeByte(int degrees, bool halfDegree);
uint8_t scaleByte(unsigned speedScale, unsigned shift);

// Size, in units, of a stored fraction after the reader's shift.
uint32_t fractionUnits(uint16_t stored, unsigned shift);
// Stored fraction (0 .. 0xFFFF >> shift) whose size is nearest to `units`.
uint16_t fractionFor(double units, unsigned shift);

// Speed limits by limit code (modulo 16), km/h.
int limitKmh(unsigned code);
// Limit code whose speed is nearest to `kmh` (the lower one on a tie).
uint8_t limitCodeFor(int kmh);

} // namespace logimage
