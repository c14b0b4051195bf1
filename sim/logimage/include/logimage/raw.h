// Raw level of the log-image encoder: exact bytes, for images that must hold
// one particular run, point or header value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace logimage {

// One point after a run's header, as stored. Families 1 and 2 ignore `code`
// and `speedDelta`. `firstDelta` is the first coordinate byte written
// (family 1: latitude; families 2-5: longitude).
struct RawPoint {
    int code = -1; // -1: none; 0..127: written as the code byte 0x80 | code
    uint8_t speedDelta = 64;
    uint8_t firstDelta = 128;
    uint8_t secondDelta = 128;
};

struct RawRun {
    int family = 5;              // 1..5
    std::vector<uint8_t> header; // the family's header bytes; families 4 and 5 start with the version byte
    std::vector<RawPoint> points;
};

// Header size after the marker (for families 4 and 5 counting the version byte).
std::size_t headerSize(int family);

void appendSync(std::vector<uint8_t>& image); // 00 00 00
// Sync, marker, header and point bytes; no end byte. Throws
// std::invalid_argument for a family outside 1..5, a header of the wrong size
// or a code outside -1..127.
void appendRun(std::vector<uint8_t>& image, const RawRun& run);
// Fills with 0xFF up to `size` bytes, as an erased log file reads.
void padTo(std::vector<uint8_t>& image, std::size_t size);

struct FamilyOneFields {
    uint32_t latOrigin = 0; // bits 24-31 degrees, bits 0-23 units of 1/600000 degree
    uint32_t lonOrigin = 0;
    uint32_t latRange = 0xFFFFFFFFu;
    uint32_t lonRange = 0xFFFFFFFFu;
    uint16_t latDivisor = 1;
    uint16_t lonDivisor = 1;
    uint16_t lonValue = 0;
    uint16_t latValue = 0;
};

struct FamilyTwoFields {
    uint8_t latDegree = 0;
    uint8_t lonDegree = 0;
    uint16_t latFraction = 0;
    uint16_t lonFraction = 0;
};

// Header of families 3 to 5. Family 3 ignores `observation`, families 3 and 4
// ignore `hemisphere` and `scale`.
struct TimedFields {
    uint8_t observation = 0;
    uint8_t interval = 0; // seconds between points, minus one
    uint8_t limitCode = 9;
    uint8_t latDegree = 0;
    uint8_t lonDegree = 0;
    uint8_t hemisphere = 0x80;
    uint8_t scale = 0x10; // speed scale in bits 4-7, coordinate shift in bits 0-3
    uint16_t date = 0;
    uint16_t seconds = 0;
    uint16_t speed = 0;
    uint16_t latFraction = 0;
    uint16_t lonFraction = 0;
};

uint32_t familyOneOrigin(int degrees, uint32_t units);
std::vector<uint8_t> familyOneHeader(const FamilyOneFields& f);
std::vector<uint8_t> familyTwoHeader(const FamilyTwoFields& f);
std::vector<uint8_t> familyThreeHeader(const TimedFields& f);
std::vector<uint8_t> familyFourHeader(const TimedFields& f);
std::vector<uint8_t> familyFiveHeader(const TimedFields& f);

} // namespace logimage
