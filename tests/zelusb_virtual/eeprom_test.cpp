// EEPROM access and the settings of families 0x6A and 0x6B on virtual units.
#include "opened.h"

#include <vector>

using namespace testunits;

namespace {

std::vector<uint8_t> readEE(int unit, unsigned char address, unsigned char count) {
    std::vector<uint8_t> b(count);
    EXPECT_EQ(ZELReadEE(unit, address, b.data(), count), 1);
    return b;
}
unsigned word(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }

UnitSpec family(uint16_t f) {
    UnitSpec s;
    s.family = f;
    return s;
}

TEST(Eeprom, WriteThenReadBack) {
    Opened o;
    unsigned char data[5] = {1, 2, 3, 0x10, 0x02}; // control bytes travel stuffed
    ASSERT_EQ(ZELWriteEE(o.unit, 100, data, 5), 1);
    EXPECT_EQ(readEE(o.unit, 100, 5), std::vector<uint8_t>(data, data + 5));
    ASSERT_EQ(ZELSetSerialNumber(o.unit, 7), 0); // not a family these settings know
    EXPECT_EQ(lastError(o.unit), 0x0F000000u);
}

TEST(Eeprom, FamilyWordOutsideTheKnownFamilies) {
    Opened o(family(0x6A00));
    unsigned short f = 0;
    EXPECT_EQ(ZELGetEEFamily(o.unit, f), 0);
    EXPECT_EQ(f, 0x6A00);
    uint32_t detail = 1;
    EXPECT_EQ(lastError(o.unit, &detail), 0x0F000000u);
    EXPECT_EQ(detail, 0u);
}

// One data byte where two were asked: the second is 0, never what the stack held.
TEST(Eeprom, FamilyFromAShortAnswerIsDefined) {
    Opened o(family(0x6B05));
    armNow(o, "short-read:1");
    unsigned short f = 0xBEEF;
    EXPECT_EQ(ZELGetEEFamily(o.unit, f), 0);
    EXPECT_EQ(f, 0x0005); // low byte 05 as sent, high byte zero-filled
    EXPECT_EQ(lastError(o.unit), 0x0F000000u);
}

TEST(Eeprom, SerialNumber) {
    Opened o(family(0x6B05));
    ASSERT_EQ(ZELSetSerialNumber(o.unit, 0x12345678), 1);
    EXPECT_EQ(readEE(o.unit, 2, 4), (std::vector<uint8_t>{0x78, 0x56, 0x34, 0x12}));
    _ZEL_CONFIGURATION c{};
    ASSERT_EQ(ZELGetConfiguration(o.unit, &c), 1);
    EXPECT_EQ(c.serialNumber, 0x12345678u);
    EXPECT_EQ(static_cast<uint16_t>(c.family), 0x6B05);
}

TEST(SpeedTrigger, Family6A) {
    Opened o(family(0x6A03));
    ASSERT_EQ(ZELSetSpeedTrigger(o.unit, 0), 1);
    auto e = readEE(o.unit, 0, 42);
    EXPECT_EQ(word(e, 7), 269u);
    EXPECT_EQ(word(e, 25), 253u);
    _ZEL_CONFIGURATION c{};
    ASSERT_EQ(ZELGetConfiguration(o.unit, &c), 1);
    EXPECT_EQ(c.speedTrigger, 0);

    ASSERT_EQ(ZELSetSpeedTrigger(o.unit, 10), 1);
    e = readEE(o.unit, 0, 42);
    const unsigned thresholds[6] = {296, 356, 415, 475, 534, 593};
    const unsigned releases[6] = {280, 340, 399, 459, 518, 577};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(word(e, 7 + 2 * i), thresholds[i]) << i;
        EXPECT_EQ(word(e, 25 + 2 * i), releases[i]) << i;
    }
    ASSERT_EQ(ZELGetConfiguration(o.unit, &c), 1);
    EXPECT_EQ(c.speedTrigger, 10);
}

TEST(SpeedTrigger, Family6B) {
    Opened o(family(0x6B05));
    ASSERT_EQ(ZELSetSpeedTrigger(o.unit, 10), 1);
    EXPECT_EQ(readEE(o.unit, 7, 15), (std::vector<uint8_t>{59, 30, 29, 30, 30, 29, 30, 30, 29, 60, 59, 60, 59, 59, 60}));
    EXPECT_EQ(readEE(o.unit, 22, 15), std::vector<uint8_t>(15, 16));
    _ZEL_CONFIGURATION c{};
    ASSERT_EQ(ZELGetConfiguration(o.unit, &c), 1);
    EXPECT_EQ(c.speedTrigger, 10);
    ASSERT_EQ(ZELSetSpeedTrigger(o.unit, 0), 1);
    ASSERT_EQ(ZELGetConfiguration(o.unit, &c), 1);
    EXPECT_EQ(c.speedTrigger, 0);
}

TEST(AlertPoints, Family6AOnePoint) {
    Opened o(family(0x6A03));
    _ZEL_LOCATION_ALERT_POINTS points{};
    points.point[1] = {1, 0, 3, 1};
    ASSERT_EQ(ZELSetLocationAlertPoints(o.unit, points), 1);
    const auto e = readEE(o.unit, 0, 42);
    EXPECT_EQ(e[19], 0x04);
    EXPECT_EQ(word(e, 20), 0x0020u);
    EXPECT_EQ(e[24], 0);
    EXPECT_EQ(e[22], 0);
    EXPECT_EQ(e[23], 0x04);
    EXPECT_EQ(readEE(o.unit, 37, 1)[0], 0);
}

TEST(AlertPoints, Family6BRoundTrip) {
    Opened o(family(0x6B05));
    _ZEL_LOCATION_ALERT_POINTS points{};
    points.point[0] = {1, 1, 4, 3};
    points.point[4] = {1, 1, 2, 1};
    points.point[6] = {1, 0, 1, 0};
    ASSERT_EQ(ZELSetLocationAlertPoints(o.unit, points), 1);
    _ZEL_CONFIGURATION c{};
    ASSERT_EQ(ZELGetConfiguration(o.unit, &c), 1);
    for (int i : {0, 4, 6}) {
        EXPECT_EQ(c.point[i].enabled != 0, true) << i;
        EXPECT_EQ(c.point[i].rangeCode, points.point[i].rangeCode) << i;
        EXPECT_EQ(c.point[i].alertKind, points.point[i].alertKind) << i;
        EXPECT_EQ(c.point[i].option, points.point[i].option) << i;
    }
    EXPECT_EQ(c.point[1].enabled, 0);
    EXPECT_EQ(c.point[5].enabled, 0);
}

TEST(AlertPoints, OldFamilyWordsReadKindOne) {
    Opened o(family(0x6A02));
    unsigned char enable = 0x01, kinds = 0;
    ASSERT_EQ(ZELWriteEE(o.unit, 19, &enable, 1), 1);
    ASSERT_EQ(ZELWriteEE(o.unit, 22, &kinds, 1), 1);
    ASSERT_EQ(ZELWriteEE(o.unit, 23, &kinds, 1), 1);
    _ZEL_CONFIGURATION c{};
    ASSERT_EQ(ZELGetConfiguration(o.unit, &c), 1);
    EXPECT_EQ(c.point[0].enabled, 1);
    EXPECT_EQ(c.point[0].alertKind, 1);
    EXPECT_EQ(c.point[4].alertKind, 0);
}

} // namespace
