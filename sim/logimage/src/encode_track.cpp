// A run lasts while each point follows the last by the interval, on the same
// UTC date (a run's time of day wraps without moving its date), in the same
// 30-minute windows and hemisphere, with deltas that fit their bytes. In
// families 4 and 5 an observation opens a run of its own, whose header carries
// its type. Limit changes ride on code bytes, which also widen the range of
// the speed delta that follows them.
#include "logimage/fields.h"
#include "logimage/raw.h"
#include "logimage/track.h"
#include "placement.h"
#include "resample.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace logimage {

namespace {

// How far ahead a run's resolution is chosen: the finest coordinate shift and
// speed scale under which this many points still fit.
constexpr std::size_t kLookahead = 32;

struct Sample {
    Fix fix;
    Placement at;
    int64_t day = 0;
    uint8_t limitCode = 9;
};

struct Run {
    unsigned shift = 2; // families 3 and 4 always shift by 2
    unsigned scale = 10; // tenths of a knot per speed unit; families 3 and 4 count whole knots
    uint16_t lat = 0, lon = 0;
    int speed = 0;
    uint8_t limitCode = 9;
};

int speedValue(double kmh, unsigned scale) {
    const double v = std::round(std::max(kmh, 0.0) / kKmhPerKnot * 10.0 / scale);
    return static_cast<int>(std::min(v, 65535.0));
}

bool coordinateFits(int delta) { return delta >= -127 && delta <= 126; }
// Without a code byte the speed byte must keep bit 7 clear; after one, only
// the bytes 0x00 and 0xFF (changes of -64 and -65) are out.
bool speedFits(int delta) { return delta >= -128 && delta <= 127 && delta != -64 && delta != -65; }
bool needsCodeByte(int delta) { return delta < -63 || delta > 63; }

Sample prepare(const Fix& f, int family) {
    if (!std::isfinite(f.speedKmh)) throw std::invalid_argument("speed is not a number");
    if (f.observation > 127) throw std::invalid_argument("observation types run from 1 to 127");
    Sample s;
    s.fix = f;
    s.at = place(f.latitude, f.longitude, family);
    s.day = daysSinceEpoch(f.time);
    const UtcDay d = utcDay(f.time);
    dateWord(d.year, d.month, d.day, d.secondsOfDay); // throws outside the years a log can hold
    s.limitCode = limitCodeFor(f.speedLimitKmh);
    return s;
}

struct Encoder {
    const std::vector<Sample>& samples;
    int family;
    int interval;

    // Whether sample j can follow sample j-1 in one run, resolution aside.
    bool continues(std::size_t j) const {
        const Sample& a = samples[j - 1];
        const Sample& b = samples[j];
        return b.fix.time - a.fix.time == interval && b.day == a.day && b.at.window == a.at.window &&
               !(family >= 4 && b.fix.observation != 0);
    }

    bool coordinatesFit(std::size_t j, unsigned shift) const {
        const Sample& a = samples[j - 1];
        const Sample& b = samples[j];
        return coordinateFits(fractionFor(b.at.latUnits, shift) - fractionFor(a.at.latUnits, shift)) &&
               coordinateFits(fractionFor(b.at.lonUnits, shift) - fractionFor(a.at.lonUnits, shift));
    }

    bool speedsFit(std::size_t j, unsigned scale) const {
        return speedFits(speedValue(samples[j].fix.speedKmh, scale) - speedValue(samples[j - 1].fix.speedKmh, scale));
    }

    // Smallest candidate under which all `horizon` points after `i` fit, else
    // the smallest one that fits the most of them.
    template <typename Fits>
    unsigned finest(std::size_t i, std::size_t horizon, unsigned from, unsigned to, Fits fits) const {
        unsigned best = from;
        std::size_t bestCount = 0;
        for (unsigned c = from; c <= to; ++c) {
            std::size_t n = 0;
            while (n < horizon && fits(i + n + 1, c)) ++n;
            if (n == horizon) return c;
            if (n > bestCount) {
                best = c;
                bestCount = n;
            }
        }
        return best;
    }

    Run open(std::size_t i, RawRun& raw) const {
        std::size_t horizon = 0;
        while (horizon < kLookahead && i + horizon + 1 < samples.size() && continues(i + horizon + 1)) ++horizon;
        Run run;
        if (family == 5) {
            run.shift = finest(i, horizon, 0, 15, [this](std::size_t j, unsigned s) { return coordinatesFit(j, s); });
            run.scale = finest(i, horizon, 1, 15, [this](std::size_t j, unsigned s) { return speedsFit(j, s); });
        }
        const Sample& s = samples[i];
        run.lat = fractionFor(s.at.latUnits, run.shift);
        run.lon = fractionFor(s.at.lonUnits, run.shift);
        run.speed = speedValue(s.fix.speedKmh, run.scale);
        run.limitCode = s.limitCode;

        const UtcDay d = utcDay(s.fix.time);
        TimedFields h;
        h.observation = s.fix.observation;
        h.interval = static_cast<uint8_t>(interval - 1);
        h.limitCode = s.limitCode;
        h.latDegree = s.at.window.latDegree;
        h.lonDegree = s.at.window.lonDegree;
        h.hemisphere = s.at.window.hemisphere;
        h.scale = scaleByte(family == 5 ? run.scale : 0, family == 5 ? run.shift : 0);
        h.date = dateWord(d.year, d.month, d.day, d.secondsOfDay);
        h.seconds = secondsWord(d.secondsOfDay);
        h.speed = static_cast<uint16_t>(run.speed);
        h.latFraction = run.lat;
        h.lonFraction = run.lon;
        raw.family = family;
        raw.header = family == 3 ? familyThreeHeader(h) : family == 4 ? familyFourHeader(h) : familyFiveHeader(h);
        raw.points.clear();
        return run;
    }

    // Appends sample j to the open run; false when it does not fit.
    bool extend(std::size_t j, Run& run, RawRun& raw) const {
        if (!continues(j)) return false;
        const Sample& s = samples[j];
        const uint16_t lat = fractionFor(s.at.latUnits, run.shift);
        const uint16_t lon = fractionFor(s.at.lonUnits, run.shift);
        const int speed = speedValue(s.fix.speedKmh, run.scale);
        const int dLat = lat - run.lat, dLon = lon - run.lon, dSpeed = speed - run.speed;
        if (!coordinateFits(dLat) || !coordinateFits(dLon) || !speedFits(dSpeed)) return false;
        RawPoint p;
        if (s.limitCode != run.limitCode || needsCodeByte(dSpeed)) p.code = s.limitCode;
        p.speedDelta = static_cast<uint8_t>(dSpeed + 64);
        p.firstDelta = static_cast<uint8_t>(dLon + 128);
        p.secondDelta = static_cast<uint8_t>(dLat + 128);
        raw.points.push_back(p);
        run.lat = lat;
        run.lon = lon;
        run.speed = speed;
        run.limitCode = s.limitCode;
        return true;
    }
};

} // namespace

std::vector<uint8_t> encodeTrack(const std::vector<Fix>& fixes, const EncodeOptions& options) {
    if (options.family < 3 || options.family > 5) throw std::invalid_argument("track images are of family 3, 4 or 5");
    if (options.interval < 1 || options.interval > 256) throw std::invalid_argument("interval must be 1 to 256 seconds");
    std::vector<Sample> samples;
    for (const Fix& f : resample(fixes, options.interval, options.bridge, options.family >= 4))
        samples.push_back(prepare(f, options.family));

    const Encoder enc{samples, options.family, options.interval};
    std::vector<uint8_t> image;
    RawRun raw;
    for (std::size_t i = 0; i < samples.size();) {
        Run run = enc.open(i, raw);
        std::size_t j = i + 1;
        while (j < samples.size() && enc.extend(j, run, raw)) ++j;
        appendRun(image, raw);
        i = j;
    }
    if (!image.empty()) image.push_back(0x00);
    return image;
}

} // namespace logimage
