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
//
// Speed: the caller counts first and fills second, so each pass has its own
// loop. Counting a family 2-5 run only has to find where its points stop
// (every one of them is valid). Both passes take eight points at a time when
// 24 bytes hold no code byte and no 0x00/0xFF, one point at a time after a
// four-byte test otherwise, and leave the rest to the exact byte-by-byte
// reader near a run's end or the image's end.
#include "bexolog_parser.h"

#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>
#if defined(__x86_64__) && defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Image bytes as little-endian words: byte i of the image is byte i (bits
// 8i..8i+7) of the word on any host.
uint32_t load32(const unsigned char* b) {
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t v;
        std::memcpy(&v, b, sizeof v);
        return v;
    } else {
        return u32(b);
    }
}
uint64_t load64(const unsigned char* b) {
    if constexpr (std::endian::native == std::endian::little) {
        uint64_t v;
        std::memcpy(&v, b, sizeof v);
        return v;
    } else {
        return u32(b) | (static_cast<uint64_t>(u32(b + 4)) << 32);
    }
}

// Bit 7 of each byte of the result is set where that byte of w is neither
// 0x00 nor 0xFF; the other bits are noise. A byte is one of those two exactly
// when its eight bits are all equal, i.e. when it XORed with itself shifted
// by one is 0 in bits 0-6; adding 0x7F then carries into bit 7 for every
// other byte, never further.
template <typename W>
constexpr W kLow7 = static_cast<W>(~W{0}) / 0xFF * 0x7F;
template <typename W>
constexpr W keptBytes(W w) {
    return static_cast<W>(((w ^ (w >> 1)) & kLow7<W>) + kLow7<W>);
}

// Whether the 24 bytes at q are eight points of families 3-5 without code
// bytes, none of them ending the run: the common case, taken in one test.
bool plainBlock(const unsigned char* q) {
    const uint64_t w0 = load64(q), w1 = load64(q + 8), w2 = load64(q + 16);
    const uint64_t kept = keptBytes(w0) & keptBytes(w1) & keptBytes(w2);
    const uint64_t firsts = (w0 & 0x0080000080000080u) | (w1 & 0x8000008000008000u) | (w2 & 0x0000800000800000u);
    return (kept | kLow7<uint64_t>) == ~uint64_t{0} && firsts == 0;
}

// The size (3, or 4 with a code byte) of the family 3-5 point at q when none
// of its bytes ends the run, else 0. Reads four bytes.
unsigned keptPointSize(const unsigned char* q) {
    const uint32_t w = load32(q);
    const uint32_t code = (w >> 7) & 1u;
    const uint32_t need = code ? 0x80808080u : 0x808080u;
    return (keptBytes(w) & need) == need ? 3 + code : 0;
}

bool endsRun(unsigned char b) { return b == 0x00 || b == 0xFF; }

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

// Family-1 coordinate of a point already known to be in range.
double familyOneCoordinate(uint16_t value, uint32_t origin, uint16_t divisor) {
    const uint32_t offset = ((65536u - value) % 65536u) * 65536u / divisor;
    uint32_t fraction = offset + (origin & 0xFFFFFFu);
    uint32_t degrees = origin >> 24;
    if (fraction >= 600000u) {
        degrees = (degrees + fraction / 600000u) & 0xFFu;
        fraction %= 600000u;
    }
    return static_cast<double>(degrees) + static_cast<double>(fraction) * kPerUnit;
}

// The offset ((65536 - value) mod 65536) * 65536 / divisor stays within the
// range exactly when the dividend is below (range + 1) * divisor, so the range
// test needs no division. A divisor of 0 gives a bound of 0: no point is valid.
uint64_t familyOneBound(uint32_t range, uint16_t divisor) { return (static_cast<uint64_t>(range) + 1) * divisor; }
bool familyOneInRange(uint32_t value, uint64_t bound) { return (((65536u - value) & 0xFFFFu) << 16) < bound; }

// The record's time: the run's midnight plus the seconds count mod 86400. It
// runs on by the step and is recomputed from the count only when the time of
// day reaches 86400 or the 32-bit count would wrap (a long enough run does).
// Midnights lie between 1999 and 2064, far from the ends of 64 bits; the
// record keeps the low 32 bits.
struct Clock {
    uint64_t midnight = 0;
    uint64_t now = 0;  // midnight + time of day
    uint64_t due = 0;  // `now` at which to recompute
    uint64_t then = 0; // `now` when last recomputed
    uint32_t seconds = 0; // the count when last recomputed
    uint32_t step = 1;

    void start(int64_t midnightSeconds, uint32_t count, uint32_t interval) {
        midnight = static_cast<uint64_t>(midnightSeconds);
        step = interval + 1u;
        seconds = count;
        resync();
    }
    void resync() {
        const uint64_t tod = seconds % 86400u;
        const uint64_t toWrap = tod + ((uint64_t{1} << 32) - seconds);
        now = then = midnight + tod;
        due = midnight + (toWrap < 86400u ? toWrap : 86400u);
    }
    // Whether the next n ticks can skip the test.
    bool roomFor(unsigned n) const { return now + uint64_t{n} * step < due; }
    void advance() { now += step; }
    void tick() {
        now += step;
        if (now >= due) {
            seconds += static_cast<uint32_t>(now - then);
            resync();
        }
    }
    uint32_t time() const { return static_cast<uint32_t>(now); }
};

struct Header {
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
    uint32_t seconds = 0; // seconds count of the header's point
    uint8_t flags = 1;
    // family 1
    uint32_t latOrigin = 0, lonOrigin = 0, latRange = 0, lonRange = 0;
    uint16_t latDiv = 0, lonDiv = 0;
};

void readHeader(Header& r, const unsigned char* h) {
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

// How a point read ended.
enum class Read { point, runEnd, imageEnd };

// The exact reader of a family 3-5 point at q: the first 0x00/0xFF byte ends
// the run with q left on it, and a point the image cuts short ends the parse.
// A code byte read before the end still sets `code`; after an end the run's
// state no longer matters.
Read readTimedPoint(const unsigned char*& q, const unsigned char* end, uint8_t& code, unsigned char d[3]) {
    if (end - q < 3) return Read::imageEnd;
    const unsigned char* b = q;
    if (endsRun(*b)) return Read::runEnd;
    if (*b & 0x80) code = static_cast<uint8_t>(*b++ & 0x7F);
    for (int i = 0; i < 3; ++i, ++b) {
        if (b == end) return Read::imageEnd;
        if (endsRun(*b)) {
            q = b;
            return Read::runEnd;
        }
        d[i] = *b;
    }
    q = b;
    return Read::point;
}

// The same for the two-byte points of families 1 and 2. A point is only read
// while three bytes remain, so the image cannot cut it short.
Read readPairPoint(const unsigned char*& q, const unsigned char* end, unsigned char d[2]) {
    if (end - q < 3) return Read::imageEnd;
    if (endsRun(q[0])) return Read::runEnd;
    if (endsRun(q[1])) {
        ++q;
        return Read::runEnd;
    }
    d[0] = q[0];
    d[1] = q[1];
    q += 2;
    return Read::point;
}

// Counts the points of a family 3-5 run from its header's on; false when the
// image ended.
bool countTimedRun(const unsigned char*& cursor, const unsigned char* end, int& found) {
    const unsigned char* q = cursor;
    int n = 1;
    for (;;) {
        while (end - q >= 24) {
            if (plainBlock(q)) {
                q += 24;
                n += 8;
                continue;
            }
            const unsigned size = keptPointSize(q);
            if (!size) break;
            q += size;
            ++n;
        }
        uint8_t code = 0;
        unsigned char d[3];
        const Read r = readTimedPoint(q, end, code, d);
        if (r != Read::point) {
            cursor = q;
            found += n;
            return r == Read::runEnd;
        }
        ++n;
    }
}

bool countPairRun(const unsigned char*& cursor, const unsigned char* end, int& found) {
    const unsigned char* q = cursor;
    int n = 1;
    for (;;) {
        while (end - q >= 4) {
            if ((keptBytes(load32(q)) & 0x8080u) != 0x8080u) break;
            q += 2;
            ++n;
        }
        unsigned char d[2];
        const Read r = readPairPoint(q, end, d);
        if (r != Read::point) {
            cursor = q;
            found += n;
            return r == Read::runEnd;
        }
        ++n;
    }
}

// Family 1 needs each point's position to know whether it is valid.
template <bool Fill>
bool familyOneRun(const Header& h, const unsigned char*& q, const unsigned char* end, LogRecord*& out, int& found) {
    const uint64_t latBound = familyOneBound(h.latRange, h.latDiv);
    const uint64_t lonBound = familyOneBound(h.lonRange, h.lonDiv);
    const uint8_t limit = kSpeedLimits[9];
    uint32_t lat = h.first, lon = h.second;
    uint8_t flags = h.flags;
    Clock clock;
    if constexpr (Fill) clock.start(h.midnight, h.seconds, 0);
    for (;;) {
        if (familyOneInRange(lat, latBound) && familyOneInRange(lon, lonBound)) {
            if constexpr (Fill) {
                LogRecord& r = *out++;
                r.time = static_cast<int32_t>(clock.time());
                r.latitude = static_cast<float>(familyOneCoordinate(static_cast<uint16_t>(lat), h.latOrigin, h.latDiv));
                r.longitude =
                    static_cast<float>(-familyOneCoordinate(static_cast<uint16_t>(lon), h.lonOrigin, h.lonDiv));
                r.speed = 0.0f;
                r.speedLimit = limit;
                r.flags = flags;
            } else {
                ++found;
            }
        }
        unsigned char d[2];
        const Read r = readPairPoint(q, end, d);
        if (r != Read::point) return r == Read::runEnd;
        lat = (lat + d[0] - 128) & 0xFFFFu;
        lon = (lon + d[1] - 128) & 0xFFFFu;
        flags = 0;
        if (d[0] == 0xFE && d[1] == 0xFE) {
            lat = (lat - 126) & 0xFFFFu;
            lon = (lon - 126) & 0xFFFFu;
            flags = 8;
        }
        if constexpr (Fill) clock.tick();
    }
}

uint32_t floatBits(double v) {
    const float f = static_cast<float>(v);
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// The record's speed, computed the family's way (0 without a speed).
uint32_t speedBits(bool moving, int family, uint16_t speed, double divisor) {
    if (!moving) return floatBits(0.0);
    return floatBits(family == 5 ? speed / divisor * 1.852 : speed * 1.852);
}

// speedLimit and flags as they lie in the record.
uint16_t limitAndFlags(uint8_t limit, uint8_t flags) {
    const unsigned char b[2] = {limit, flags};
    uint16_t v;
    std::memcpy(&v, b, sizeof v);
    return v;
}

// X / 14316 by one multiplication, for X = f * 65536 (f below 65536), the
// only dividends a fraction gives.
constexpr uint64_t kUnitMagic = 1228847866;
constexpr unsigned kUnitShift = 44;
constexpr bool unitMagicExact() {
    for (uint64_t x = 0; x < (uint64_t{1} << 32); x += 65536)
        if ((x * kUnitMagic) >> kUnitShift != x / 14316) return false;
    return true;
}
static_assert(unitMagicExact());

uint32_t fractionUnits(uint32_t shifted) {
    return static_cast<uint32_t>((uint64_t{shifted} * kUnitMagic) >> kUnitShift);
}

// The size of a running fraction v (only its low 16 bits count) in units:
// fractionUnits of v shifted by `shift` (the family's shift + 16). Without a
// family shift the cut to 16 bits is a zero extension and the * 65536 goes
// into the shift after the multiplication.
template <bool Unshifted>
uint32_t unitsOf(uint32_t v, unsigned shift) {
    if constexpr (Unshifted) return static_cast<uint32_t>((uint64_t{v & 0xFFFFu} * kUnitMagic) >> (kUnitShift - 16));
    return fractionUnits(v << shift);
}

// Two lanes of latitude then longitude (GNU vector extensions).
typedef int32_t IntPair __attribute__((vector_size(8)));
typedef double DoublePair __attribute__((vector_size(16)));
typedef float FloatPair __attribute__((vector_size(8)));
static_assert(offsetof(LogRecord, longitude) == offsetof(LogRecord, latitude) + 4);

// The two values below 2^31 as doubles (exact), and two doubles stored as
// two floats at p: a single conversion each way on x86-64.
DoublePair toDoubles(uint32_t a, uint32_t b) {
#if defined(__x86_64__) && defined(__SSE2__)
    return _mm_cvtepi32_pd(_mm_cvtsi64_si128(static_cast<long long>(a | (uint64_t{b} << 32))));
#else
    const IntPair v = {static_cast<int32_t>(a), static_cast<int32_t>(b)};
    return __builtin_convertvector(v, DoublePair);
#endif
}
void storeFloats(unsigned char* p, DoublePair v) {
#if defined(__x86_64__) && defined(__SSE2__)
    _mm_storel_pi(reinterpret_cast<__m64*>(p), _mm_cvtpd_ps(v));
#else
    const FloatPair f = __builtin_convertvector(v, FloatPair);
    std::memcpy(p, &f, sizeof f);
#endif
}

// Forced inline: the record code appears at several places in the loop and
// must not become a call on the locals' addresses at any optimisation level.
#define BEXO_INLINE __attribute__((always_inline))

// Writes the records of a family 2-5 run (Timed: families 3-5); false when
// the image ended. Every per-run choice is settled before the loop, the
// rarer ones (the 128 degrees, a shifted fraction) as template arguments; the
// speed's float is kept between points since it seldom changes. The cursors
// are locals, so that the record stores cannot be taken to overwrite them,
// and the function stays out of line so that the parse loop's own state does
// not crowd its registers.
template <bool Timed, bool Add128, bool Unshifted>
[[gnu::noinline]] bool fillGridRun(const Header& h, const unsigned char*& cursor, const unsigned char* end,
                                   LogRecord*& records) {
    const int family = h.family;
    double latSign = 1.0, lonSign = -1.0;
    if (family == 5) {
        lonSign = (h.hemisphere & 0x40) ? -1.0 : 1.0;
        latSign = (h.hemisphere & 0x80) ? 1.0 : -1.0;
    }
    // Rounding is symmetric, so (a + b) * s equals a * s + b * s bit for bit
    // when s is 1 or -1 (zeros included): the signs go into the constants.
    const double latBase = (h.latDeg & 0x7F) * latSign, lonBase = (h.lonDeg & 0x7F) * lonSign;
    const double latUnit = kPerUnit * latSign, lonUnit = kPerUnit * lonSign;
    const double lonAdd = 128.0 * lonSign;
    const double latHalf = (h.latDeg & 0x80) ? 300000.0 : 0.0, lonHalf = (h.lonDeg & 0x80) ? 300000.0 : 0.0;
    const unsigned shift = h.shift + 16; // the family's shift, the cut to 16 bits and the * 65536

    const bool moving = family == 3 || family == 4 || (family == 5 && h.speedScale != 0);
    const double speedDivisor = family == 5 && h.speedScale != 0 ? 10.0 / h.speedScale : 1.0;
    uint16_t speed = h.speed;
    uint32_t speedOut = speedBits(moving, family, speed, speedDivisor);
    uint16_t later = limitAndFlags(kSpeedLimits[h.limitCode & 0x0F], 0); // tail of the later records
    uint32_t lon = h.first, lat = h.second; // only the low 16 bits count
    Clock clock;
    clock.start(h.midnight, h.seconds, h.interval);
    const unsigned char* q = cursor;
    unsigned char* o = reinterpret_cast<unsigned char*>(records);

    // Latitude and longitude go through the same steps side by side, lane by
    // lane exactly as one at a time. Adding -0.0 leaves any value as it is.
    const DoublePair base = {latBase, lonBase}, unit = {latUnit, lonUnit}, half = {latHalf, lonHalf};
    const DoublePair after = {-0.0, lonAdd};
    auto emit = [&](uint16_t tail) BEXO_INLINE {
        const DoublePair units = toDoubles(unitsOf<Unshifted>(lat, shift), unitsOf<Unshifted>(lon, shift));
        DoublePair position = base + (units + half) * unit;
        if constexpr (Add128) position += after;
        storeFloats(o + offsetof(LogRecord, latitude), position);
        const uint32_t t = clock.time();
        std::memcpy(o + offsetof(LogRecord, time), &t, 4);
        std::memcpy(o + offsetof(LogRecord, speed), &speedOut, 4);
        std::memcpy(o + offsetof(LogRecord, speedLimit), &tail, 2);
        o += sizeof(LogRecord);
    };
    // One more point from its speed delta and the deltas of the longitude and
    // the latitude fraction.
    auto point = [&](unsigned s, unsigned x, unsigned y, bool dayChecked) BEXO_INLINE {
        if (s != 64) {
            speed = static_cast<uint16_t>(speed + static_cast<int8_t>(static_cast<uint8_t>(s - 64)));
            speedOut = speedBits(moving, family, speed, speedDivisor);
        }
        lon += x - 128;
        lat += y - 128;
        if (dayChecked)
            clock.advance();
        else
            clock.tick();
        emit(later);
    };

    emit(limitAndFlags(kSpeedLimits[h.limitCode & 0x0F], h.flags));
    Read r;
    if constexpr (Timed) {
        for (;;) {
            while (end - q >= 24) {
                // Eight points at once; their times skip the day-wrap test
                // when none of them can reach it.
                if (plainBlock(q) && clock.roomFor(8)) {
                    point(q[0], q[1], q[2], true);
                    point(q[3], q[4], q[5], true);
                    point(q[6], q[7], q[8], true);
                    point(q[9], q[10], q[11], true);
                    point(q[12], q[13], q[14], true);
                    point(q[15], q[16], q[17], true);
                    point(q[18], q[19], q[20], true);
                    point(q[21], q[22], q[23], true);
                    q += 24;
                    continue;
                }
                const unsigned size = keptPointSize(q);
                if (!size) break;
                if (size == 4) later = limitAndFlags(kSpeedLimits[*q++ & 0x0F], 0);
                point(q[0], q[1], q[2], false);
                q += 3;
            }
            uint8_t code = 0xFF; // no code byte
            unsigned char d[3];
            r = readTimedPoint(q, end, code, d);
            if (r != Read::point) break;
            if (code != 0xFF) later = limitAndFlags(kSpeedLimits[code & 0x0F], 0);
            point(d[0], d[1], d[2], false);
        }
    } else {
        for (;;) {
            unsigned char d[2];
            r = readPairPoint(q, end, d);
            if (r != Read::point) break;
            point(64, d[0], d[1], false);
        }
    }
    cursor = q;
    records = reinterpret_cast<LogRecord*>(o);
    return r == Read::runEnd;
}

#undef BEXO_INLINE

bool fillRun(const Header& h, const unsigned char*& q, const unsigned char* end, LogRecord*& out) {
    if (h.family == 2) return fillGridRun<false, false, true>(h, q, end, out);
    const bool add = h.family == 5 && (h.hemisphere & 0x20);
    const bool unshifted = h.shift == 0;
    if (add) {
        return unshifted ? fillGridRun<true, true, true>(h, q, end, out)
                         : fillGridRun<true, true, false>(h, q, end, out);
    }
    return unshifted ? fillGridRun<true, false, true>(h, q, end, out) : fillGridRun<true, false, false>(h, q, end, out);
}

// Finds the next run's marker from `p`; 0 when the image ends first. Only
// bytes with at least two more after them are looked at.
int scanForMarker(const unsigned char* image, int64_t len, int64_t& p) {
    int zeros = 0;
    while (len - p >= 3) {
        if (zeros == 0 && image[p] != 0) {
            // Until a zero turns up nothing changes: skip to it.
            const void* z = std::memchr(image + p, 0, static_cast<size_t>(len - 2 - p));
            if (!z) return 0;
            p = static_cast<const unsigned char*>(z) - image;
        }
        const unsigned char b = image[p++];
        if (b > 4) {
            zeros = 0;
        } else if (zeros == 3 && b >= 1) {
            return b;
        } else if (b == 0 && zeros < 3) {
            ++zeros;
        }
    }
    return 0;
}

template <bool Fill>
int parse(const unsigned char* image, int64_t len, LogRecord* records) {
    int64_t p = 0;
    int found = 0;
    int lastFamily = 0;
    LogRecord* out = records;
    const unsigned char* const end = image + len;

    for (;;) {
        const int marker = scanForMarker(image, len, p);
        if (!marker) break;

        // Marker 4's version byte is the header's first byte.
        const int family = marker < 4 ? marker : (image[p] + 3) & 0xFF;
        lastFamily = family;
        if (family < 1 || family > 5) {
            std::printf("The log download could not be completed because the logs in your Bexo require a newer "
                        "version of Bexo Log Export. Please upgrade your copy of Bexo Log Export and try the "
                        "download again. (Log family %03d)\n",
                        family);
            continue;
        }

        const int size = kHeaderSize[family];
        if (len - p < size) break;
        unsigned char bytes[28];
        std::memcpy(bytes, image + p, static_cast<size_t>(size));
        p += size;
        Header header;
        header.family = family;
        readHeader(header, bytes);

        const unsigned char* q = image + p;
        bool more;
        if (family == 1) {
            more = familyOneRun<Fill>(header, q, end, out, found);
        } else if constexpr (Fill) {
            more = fillRun(header, q, end, out);
        } else {
            more = family == 2 ? countPairRun(q, end, found) : countTimedRun(q, end, found);
        }
        if (!more) break;
        p = q - image;
    }

    if constexpr (Fill) found = static_cast<int>(out - records);
    return lastFamily < g_oldestUsableVersion ? 0 : found;
}

} // namespace

extern "C" BEXOLOG_PARSER_API void set_oldest_usable_version(int version) {
    g_oldestUsableVersion = static_cast<uint8_t>(version & 0xFF);
}

extern "C" BEXOLOG_PARSER_API int parselog(const unsigned char* image, int length, LogRecord* records, int* count) {
    if (count) *count = 0;
    if (!image || length < 0) length = 0;
    const int n = records ? parse<true>(image, length, records) : parse<false>(image, length, nullptr);
    if (count) *count = n;
    return 1;
}
