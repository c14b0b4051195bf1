// Settings kept in the EEPROM families 0x6A and 0x6B: speed trigger, alert
// points, configuration read-back.
#include "zelusb.h"

#include <cmath>
#include <cstring>

namespace {

bool isFamily6A(unsigned short family) { return (family >> 8) == 0x6A; }

bool writeByte(int unit, unsigned char address, uint8_t value) { return ZELWriteEE(unit, address, &value, 1); }
bool writeWord(int unit, unsigned char address, unsigned value) {
    uint8_t b[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF)};
    return ZELWriteEE(unit, address, b, 2);
}

uint8_t speedTriggerOf(unsigned threshold50) {
    return static_cast<uint8_t>(static_cast<int>(std::floor((threshold50 * 0.003704 - 1) * 100 + 0.5)));
}

unsigned word(const uint8_t* e, int address) { return e[address] | (e[address + 1] << 8); }

// Bit layout of one alert point in each family.
struct PointBits {
    uint8_t enable; // enable-byte bit (0: none, as for point 4)
    uint8_t kind;   // bit in the kind bytes
    int rangeShift; // in the range word; -1: the 0x6A point-4 range byte
    uint8_t option; // 0x6B option-byte bit
};
constexpr PointBits k6A[5] = {{0x01, 0x01, 0, 0}, {0x04, 0x04, 4, 0}, {0x08, 0x08, 6, 0}, {0x10, 0x10, 8, 0},
                              {0x00, 0x80, -1, 0}};
constexpr PointBits k6B[7] = {{0x01, 0x01, 0, 0x02},  {0x02, 0x02, 2, 0x04},  {0x04, 0x04, 4, 0x08},
                              {0x08, 0x08, 6, 0x10},  {0x00, 0x80, 14, 0x80}, {0x10, 0x10, 8, 0x20},
                              {0x20, 0x20, 10, 0x40}};

void readConfiguration6A(const uint8_t* e, unsigned short family, _ZEL_CONFIGURATION* c) {
    c->serialNumber = word(e, 2) | (static_cast<uint32_t>(word(e, 4)) << 16);
    c->speedTrigger = speedTriggerOf(word(e, 7));
    for (int i = 0; i < 4; ++i) {
        const PointBits& b = k6A[i];
        _ZEL_ALERT_POINT& p = c->point[i];
        p.enabled = e[19] & b.enable;
        p.option = 0;
        if (!p.enabled) continue;
        p.rangeCode = static_cast<uint16_t>(((word(e, 20) >> b.rangeShift) & 3) + 1);
        p.alertKind = (e[22] & b.kind) ? 3 : (e[23] & b.kind) ? 1 : 0;
        if (family < 0x6A03 && p.alertKind == 0) p.alertKind = 1;
    }
    _ZEL_ALERT_POINT& p4 = c->point[4];
    p4.enabled = 1;
    p4.option = 0;
    p4.alertKind = family < 0x6A03 ? 0 : (e[22] & 0x80) ? 3 : (e[23] & 0x80) ? 1 : 0;
    p4.rangeCode = static_cast<uint16_t>((e[24] & 3) + 1);
}

void readConfiguration6B(const uint8_t* e, unsigned short family, _ZEL_CONFIGURATION* c) {
    c->auxiliary = word(e, 82) | (static_cast<uint32_t>(word(e, 84)) << 16);
    c->serialNumber = word(e, 2) | (static_cast<uint32_t>(word(e, 4)) << 16);
    unsigned threshold50 = 0;
    for (int a = 7; a <= 15; ++a) threshold50 += e[a];
    c->speedTrigger = speedTriggerOf(threshold50 & 0xFFFF);
    const bool oldOptions = family < 0x6B05;
    for (int i = 0; i < 7; ++i) {
        if (i == 4) continue;
        const PointBits& b = k6B[i];
        _ZEL_ALERT_POINT& p = c->point[i];
        p.enabled = e[37] & b.enable;
        if (!p.enabled) continue;
        p.rangeCode = static_cast<uint16_t>(((word(e, 41) >> b.rangeShift) & 3) + 1);
        p.alertKind = (e[40] & b.kind) ? 3 : (e[39] & b.kind) ? 1 : 0;
        p.option = oldOptions ? 1 : (e[86] & b.option) ? 1 : 0;
    }
    _ZEL_ALERT_POINT& p4 = c->point[4];
    p4.enabled = ((e[40] | e[39] | e[38]) & 0x80) ? 1 : 0;
    if (p4.enabled) {
        p4.alertKind = (e[40] & 0x80) ? 3 : (e[39] & 0x80) ? 1 : 0;
        p4.rangeCode = static_cast<uint16_t>((word(e, 41) >> 14) + 1);
        p4.option = oldOptions ? 1 : (e[86] & 0x80) ? 1 : 0;
    }
    c->generalOption = family >= 0x6B03 ? (e[81] & 1) : 1;
}

} // namespace

int ZELGetConfiguration(int unit, _ZEL_CONFIGURATION* configuration) {
    unsigned short family;
    if (!ZELGetEEFamily(unit, family) || !configuration) return 0;
    configuration->family = static_cast<int16_t>(family);
    uint8_t e[109] = {};
    if (isFamily6A(family)) {
        if (!ZELReadEE(unit, 0, e, 42)) return 0;
        readConfiguration6A(e, family, configuration);
    } else {
        if (!ZELReadEE(unit, 0, e, 109)) return 0;
        readConfiguration6B(e, family, configuration);
    }
    return 1;
}

int ZELSetSpeedTrigger(int unit, unsigned char percent) {
    const float f = 1 + percent * 0.01f;
    unsigned short family;
    if (!ZELGetEEFamily(unit, family)) return 0;
    if (isFamily6A(family)) {
        struct Limit {
            double factor; // limit * 10 / 1.852: tenths of a knot
            unsigned char threshold, release;
        };
        static constexpr Limit limits[6] = {{269.97840172786175, 7, 25}, {323.9740820734341, 9, 27},
                                            {377.96976241900643, 11, 29}, {431.96544276457877, 13, 31},
                                            {485.9611231101511, 15, 33},  {539.9568034557235, 17, 35}};
        for (const Limit& l : limits) {
            const int t = static_cast<int>(f * l.factor);
            if (!writeWord(unit, l.threshold, static_cast<unsigned>(t))) return 0;
            if (!writeWord(unit, l.release, static_cast<unsigned>(t - 16))) return 0;
        }
        return 1;
    }
    static constexpr int limits[15] = {10, 15, 20, 25, 30, 35, 40, 45, 50, 60, 70, 80, 90, 100, 110};
    uint8_t steps[15];
    int previous = 0;
    for (int i = 0; i < 15; ++i) {
        const int t = static_cast<int>(static_cast<float>(limits[i]) * f * 5.399568034557235);
        steps[i] = static_cast<uint8_t>((t - previous) & 0xFF);
        previous = t;
    }
    if (!ZELWriteEE(unit, 7, steps, 15)) return 0;
    uint8_t margins[15];
    std::memset(margins, 16, sizeof margins);
    return ZELWriteEE(unit, 22, margins, 15);
}

int ZELSetLocationAlertPoints(int unit, _ZEL_LOCATION_ALERT_POINTS points) {
    unsigned short family;
    if (!ZELGetEEFamily(unit, family)) return 0;
    const bool six = isFamily6A(family);
    uint8_t enable = 0, kind0 = 0, kind1 = 0, kind3 = 0, point4Range = 0, option = 0;
    unsigned range = 0;
    const int count = six ? 5 : 7;
    for (int i = 0; i < count; ++i) {
        const _ZEL_ALERT_POINT& p = points.point[i];
        if (!p.enabled) continue;
        const PointBits& b = six ? k6A[i] : k6B[i];
        enable |= b.enable;
        const unsigned code = (p.rangeCode - 1u) & 3u;
        if (b.rangeShift < 0) point4Range |= static_cast<uint8_t>(code);
        else range |= code << b.rangeShift;
        if (p.alertKind == 1) kind1 |= b.kind;
        else if (p.alertKind == 3) kind3 |= b.kind;
        else if (p.alertKind == 0) kind0 |= b.kind;
        if (!six && p.option) option |= b.option;
    }
    if (six) {
        return writeByte(unit, 19, enable) && writeWord(unit, 20, range) && writeByte(unit, 24, point4Range) &&
               writeByte(unit, 22, kind3) && writeByte(unit, 23, kind1) && writeByte(unit, 37, kind0);
    }
    return writeByte(unit, 37, enable) && writeWord(unit, 41, range) && writeByte(unit, 40, kind3) &&
           writeByte(unit, 39, kind1) && writeByte(unit, 38, kind0) && writeByte(unit, 86, option);
}
