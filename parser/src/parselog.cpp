// Raw log image decoder.
//
// Image format (documented here because this file owns it):
//
//   image := { junk | run }*
//   run   := sync marker header point*
//   sync  := three or more 0x00 (bytes 1-4 between the zeros are ignored,
//            any byte above 4 restarts the count)
//   marker:= 1 | 2 | 3 -> log family 1, 2, 3
//          | 4 v       -> log family (v + 3) mod 256; v is the header's first byte
//   header: family 1: 28 bytes, 2: 6, 3: 14, 4: 16, 5: 18 (little-endian)
//     f1: latOrigin u32, lonOrigin u32, latRange u32, lonRange u32,
//         latDiv u16, lonDiv u16, 4 unread, lonValue u16, latValue u16
//     f2: latDeg, lonDeg, latFrac u16, lonFrac u16
//     f3: interval, limit, latDeg, lonDeg, date u16, secs u16, speed u16,
//         latFrac u16, lonFrac u16
//     f4: version(1), obsType, then as f3
//     f5: version(2), obsType, interval, limit, latDeg, lonDeg, hemisphere,
//         scale, date u16, secs u16, speed u16, latFrac u16, lonFrac u16
//   point: f1: dLat dLon;  f2: dLon dLat;
//          f3-5: [code byte, bit 7 set] dSpeed dLon dLat
//   A point byte of 0x00 or 0xFF ends the run and may start the next sync.
//
// Degree byte: bits 0-6 whole degrees, bit 7 adds 30 minutes. A 16-bit
// fraction f (after the family's left shift, cut to 16 bits) is
// f * 65536 / 14316 units of 1/600000 degree. Date word: day bits 0-4,
// month 5-8, year-2000 9-14, bit 15 = bit 16 of the seconds count.
#include "bexolog_parser.h"

#include <cstdio>
#include <cstring>

namespace {

// Written without a lock; the export program never changes it.
uint8_t g_oldestUsableVersion = 4;

constexpr uint8_t kSpeedLimits[16] = {0, 10, 15, 20, 25, 30, 35, 40, 45, 50, 60, 70, 80, 90, 100, 110};
constexpr int kHeaderSize[6] = {0, 28, 6, 14, 16, 18};
constexpr double kPerUnit = 1.0 / 600000.0;

uint16_t u16(const unsigned char* b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); }
uint32_t u32(const unsigned char* b) {
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[3]) << 24);
}

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// Midnight UTC of the stored date fields, normalised the way mktime does:
// month 0 is December of the year before, day 0 the last day of the month
// before, and overflowing days or months run on.
int64_t midnightUtc(int year, int month, int day) {
    int64_t y = year;
    int64_t m0 = month - 1; // 0-based, may be -1 or up to 14
    y += (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12);
    m0 = ((m0 % 12) + 12) % 12;
    return (daysFromCivil(y, static_cast<unsigned>(m0 + 1), 1) + (day - 1)) * 86400;
}

double fractionUnits(uint16_t stored, unsigned shift) {
    const uint32_t f = static_cast<uint16_t>(static_cast<uint32_t>(stored) << shift);
    return static_cast<double>((f * 65536u) / 14316u);
}

double degreeCoordinate(uint8_t degreeByte, uint16_t fraction, unsigned shift) {
    double units = fractionUnits(fraction, shift);
    if (degreeByte & 0x80) units += 300000.0;
    return static_cast<double>(degreeByte & 0x7F) + units * kPerUnit;
}

// Family-1 coordinate from its origin; false when outside the range or the
// divisor is 0 (such points are not valid).
bool familyOneCoordinate(uint16_t value, uint32_t origin, uint32_t range, uint16_t divisor, double& out) {
    if (divisor == 0) return false;
    const uint32_t offset = ((65536u - value) % 65536u) * 65536u / divisor;
    if (offset > range) return false;
    uint32_t fraction = offset + (origin & 0xFFFFFFu);
    uint32_t degrees = origin >> 24;
    if (fraction >= 600000u) {
        degrees = (degrees + fraction / 600000u) & 0xFFu;
        fraction %= 600000u;
    }
    out = static_cast<double>(degrees) + static_cast<double>(fraction) * kPerUnit;
    return true;
}

struct Run {
    int family = 0;
    uint16_t first = 0;  // running value of the first delta's coordinate
    uint16_t second = 0; // running value of the second delta's coordinate
    uint16_t speed = 0;
    uint8_t limitCode = 9;
    uint8_t interval = 0;
    uint8_t latDeg = 0, lonDeg = 0;
    uint8_t hemisphere = 0;
    uint8_t speedScale = 0;
    unsigned shift = 0;
    int64_t midnight = 0; // UTC seconds of the run's date
    uint32_t seconds = 0; // seconds count within the run
    uint8_t flags = 1;
    // family 1
    uint32_t latOrigin = 0, lonOrigin = 0, latRange = 0, lonRange = 0;
    uint16_t latDiv = 0, lonDiv = 0;
};

void startRun(Run& r, const unsigned char* h) {
    uint16_t date = 0, secs = 0;
    switch (r.family) {
    case 1:
        r.latOrigin = u32(h);
        r.lonOrigin = u32(h + 4);
        r.latRange = u32(h + 8);
        r.lonRange = u32(h + 12);
        r.latDiv = u16(h + 16);
        r.lonDiv = u16(h + 18);
        r.second = u16(h + 24); // longitude value
        r.first = u16(h + 26);  // latitude value
        break;
    case 2:
        r.latDeg = h[0];
        r.lonDeg = h[1];
        r.second = u16(h + 2); // latitude fraction
        r.first = u16(h + 4);  // longitude fraction
        break;
    case 3:
    case 4: {
        const unsigned char* b = h;
        if (r.family == 4) {
            r.flags = static_cast<uint8_t>(h[1] * 2 + 1);
            b = h + 2;
        }
        r.interval = b[0];
        r.limitCode = b[1];
        r.latDeg = b[2];
        r.lonDeg = b[3];
        date = u16(b + 4);
        secs = u16(b + 6);
        r.speed = u16(b + 8);
        r.second = u16(b + 10);
        r.first = u16(b + 12);
        r.shift = 2;
        break;
    }
    case 5:
        r.flags = static_cast<uint8_t>(h[1] * 2 + 1);
        r.interval = h[2];
        r.limitCode = h[3];
        r.latDeg = h[4];
        r.lonDeg = h[5];
        r.hemisphere = h[6];
        r.speedScale = static_cast<uint8_t>(h[7] >> 4);
        r.shift = h[7] & 0x0Fu;
        date = u16(h + 8);
        secs = u16(h + 10);
        r.speed = u16(h + 12);
        r.second = u16(h + 14);
        r.first = u16(h + 16);
        break;
    default:
        break;
    }
    r.midnight = midnightUtc(2000 + ((date >> 9) & 0x3F), (date >> 5) & 0x0F, date & 0x1F);
    r.seconds = secs + ((date & 0x8000u) ? 65536u : 0u);
}

// Fills `out` for the run's current point; false when the point is not valid.
bool makeRecord(const Run& r, LogRecord& out) {
    double lat = 0, lon = 0;
    double speed = 0;
    if (r.family == 1) {
        if (!familyOneCoordinate(r.second, r.lonOrigin, r.lonRange, r.lonDiv, lon)) return false;
        if (!familyOneCoordinate(r.first, r.latOrigin, r.latRange, r.latDiv, lat)) return false;
        lon = -lon;
    } else {
        lat = degreeCoordinate(r.latDeg, r.second, r.shift);
        lon = degreeCoordinate(r.lonDeg, r.first, r.shift);
        if (r.family == 5) {
            if (r.hemisphere & 0x20) lon += 128.0;
            if (r.hemisphere & 0x40) lon = -lon;
            if (!(r.hemisphere & 0x80)) lat = -lat;
            if (r.speedScale != 0) speed = r.speed / (10.0 / r.speedScale) * 1.852;
        } else {
            lon = -lon;
            if (r.family != 2) speed = r.speed * 1.852;
        }
    }
    const int64_t t = r.midnight + r.seconds % 86400u;
    // Past 2038 the low 32 bits are kept: the value then reads as negative
    // (shown as an unknown time) and stays exact for readers taking it unsigned.
    out.time = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(t)));
    out.latitude = static_cast<float>(lat);
    out.longitude = static_cast<float>(lon);
    out.speed = static_cast<float>(speed);
    out.speedLimit = kSpeedLimits[r.limitCode & 0x0F];
    out.flags = r.flags;
    return true;
}

bool familyOneValid(const Run& r) {
    double unused;
    return familyOneCoordinate(r.second, r.lonOrigin, r.lonRange, r.lonDiv, unused) &&
           familyOneCoordinate(r.first, r.latOrigin, r.latRange, r.latDiv, unused);
}

bool endsRun(unsigned char b) { return b == 0x00 || b == 0xFF; }

} // namespace

extern "C" BEXOLOG_PARSER_API void set_oldest_usable_version(int version) {
    g_oldestUsableVersion = static_cast<uint8_t>(version & 0xFF);
}

extern "C" BEXOLOG_PARSER_API int parselog(const unsigned char* image, int length, LogRecord* records, int* count) {
    if (count) *count = 0;
    if (!image || length < 0) length = 0;
    const int64_t len = length;
    int64_t p = 0;
    int found = 0;
    int lastFamily = 0;
    LogRecord* out = records;

    for (;;) {
        // 1. Scan for a sync of three zeros followed by a marker 1-4.
        int zeros = 0;
        int marker = 0;
        while (len - p >= 3) {
            const unsigned char b = image[p++];
            if (b > 4) {
                zeros = 0;
            } else if (zeros == 3 && b >= 1) {
                marker = b;
                break;
            } else if (b == 0 && zeros < 3) {
                ++zeros;
            }
        }
        if (!marker) break;

        // 2. Family; marker 4's version byte is the header's first byte.
        const int family = marker < 4 ? marker : (image[p] + 3) & 0xFF;
        lastFamily = family;
        if (family < 1 || family > 5) {
            std::printf("The log download could not be completed because the logs in your Bexo require a newer "
                        "version of Bexo Log Export. Please upgrade your copy of Bexo Log Export and try the "
                        "download again. (Log family %03d)\n",
                        family);
            continue;
        }

        // 3. Header.
        const int size = kHeaderSize[family];
        if (len - p < size) break;
        unsigned char header[28];
        std::memcpy(header, image + p, static_cast<size_t>(size));
        p += size;
        Run run;
        run.family = family;
        startRun(run, header);

        // 4-5. Points, until an end byte or the end of the image.
        bool imageEnded = false;
        for (;;) {
            if (records) {
                if (makeRecord(run, *out)) {
                    ++out;
                    ++found;
                }
            } else if (run.family != 1 || familyOneValid(run)) {
                ++found;
            }

            if (len - p < 3) {
                imageEnded = true;
                break;
            }
            const bool withSpeed = run.family >= 3;
            const int needed = withSpeed ? 3 : 2;
            unsigned char d[3];
            int got = 0;
            int64_t q = p;
            bool runEnded = false;
            bool codeSeen = false;
            while (got < needed) {
                if (q >= len) {
                    imageEnded = true; // a point cut short by the image's end
                    break;
                }
                const unsigned char b = image[q];
                if (endsRun(b)) {
                    runEnded = true;
                    break;
                }
                ++q;
                if (withSpeed && got == 0 && !codeSeen && (b & 0x80)) {
                    run.limitCode = b & 0x7F;
                    codeSeen = true;
                    continue;
                }
                d[got++] = b;
            }
            if (imageEnded) break;
            if (runEnded) {
                p = q;
                break;
            }
            p = q;
            const unsigned char* deltas = d;
            if (withSpeed) {
                run.speed = static_cast<uint16_t>(run.speed + static_cast<int8_t>(static_cast<uint8_t>(d[0] - 64)));
                ++deltas;
            }
            run.first = static_cast<uint16_t>(run.first + deltas[0] - 128);
            run.second = static_cast<uint16_t>(run.second + deltas[1] - 128);
            run.seconds += run.interval + 1u;
            run.flags = 0;
            if (run.family == 1 && deltas[0] == 0xFE && deltas[1] == 0xFE) {
                run.first = static_cast<uint16_t>(run.first - 126);
                run.second = static_cast<uint16_t>(run.second - 126);
                run.flags = 8;
            }
        }
        if (imageEnded) break;
    }

    if (count) *count = lastFamily < g_oldestUsableVersion ? 0 : found;
    return 1;
}
