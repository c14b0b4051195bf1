#include "logimage/raw.h"

#include <stdexcept>

namespace logimage {

namespace {

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, static_cast<uint16_t>(v & 0xFFFF));
    put16(out, static_cast<uint16_t>(v >> 16));
}

// The part that families 3, 4 and 5 share, from the interval on (5 has two
// more bytes in the middle).
void putTimed(std::vector<uint8_t>& out, const TimedFields& f, bool withHemisphere) {
    out.push_back(f.interval);
    out.push_back(f.limitCode);
    out.push_back(f.latDegree);
    out.push_back(f.lonDegree);
    if (withHemisphere) {
        out.push_back(f.hemisphere);
        out.push_back(f.scale);
    }
    put16(out, f.date);
    put16(out, f.seconds);
    put16(out, f.speed);
    put16(out, f.latFraction);
    put16(out, f.lonFraction);
}

} // namespace

std::size_t headerSize(int family) {
    static constexpr std::size_t sizes[] = {0, 28, 6, 14, 16, 18};
    if (family < 1 || family > 5) throw std::invalid_argument("log family must be 1 to 5");
    return sizes[family];
}

void appendSync(std::vector<uint8_t>& image) { image.insert(image.end(), 3, 0x00); }

void appendRun(std::vector<uint8_t>& image, const RawRun& run) {
    if (run.header.size() != headerSize(run.family)) throw std::invalid_argument("header size does not match the family");
    for (const RawPoint& p : run.points)
        if (p.code < -1 || p.code > 127) throw std::invalid_argument("limit code must be -1 or 0 to 127");
    appendSync(image);
    image.push_back(static_cast<uint8_t>(run.family < 4 ? run.family : 4));
    image.insert(image.end(), run.header.begin(), run.header.end());
    for (const RawPoint& p : run.points) {
        if (run.family >= 3) {
            if (p.code >= 0) image.push_back(static_cast<uint8_t>(0x80 | p.code));
            image.push_back(p.speedDelta);
        }
        image.push_back(p.firstDelta);
        image.push_back(p.secondDelta);
    }
}

void padTo(std::vector<uint8_t>& image, std::size_t size) {
    if (image.size() < size) image.resize(size, 0xFF);
}

uint32_t familyOneOrigin(int degrees, uint32_t units) {
    if (degrees < 0 || degrees > 255 || units > 0xFFFFFFu) throw std::invalid_argument("origin out of range");
    return (static_cast<uint32_t>(degrees) << 24) | units;
}

std::vector<uint8_t> familyOneHeader(const FamilyOneFields& f) {
    std::vector<uint8_t> h;
    put32(h, f.latOrigin);
    put32(h, f.lonOrigin);
    put32(h, f.latRange);
    put32(h, f.lonRange);
    put16(h, f.latDivisor);
    put16(h, f.lonDivisor);
    put32(h, 0);
    put16(h, f.lonValue);
    put16(h, f.latValue);
    return h;
}

std::vector<uint8_t> familyTwoHeader(const FamilyTwoFields& f) {
    std::vector<uint8_t> h{f.latDegree, f.lonDegree};
    put16(h, f.latFraction);
    put16(h, f.lonFraction);
    return h;
}

std::vector<uint8_t> familyThreeHeader(const TimedFields& f) {
    std::vector<uint8_t> h;
    putTimed(h, f, false);
    return h;
}

std::vector<uint8_t> familyFourHeader(const TimedFields& f) {
    std::vector<uint8_t> h{1, f.observation};
    putTimed(h, f, false);
    return h;
}

std::vector<uint8_t> familyFiveHeader(const TimedFields& f) {
    std::vector<uint8_t> h{2, f.observation};
    putTimed(h, f, true);
    return h;
}

} // namespace logimage
