// Decoding of hand-made images whose records are known exactly.
#include "bexolog_parser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// LogRecord is packed: gtest would bind references to misaligned fields, so
// tests compare an aligned copy.
struct Record {
    int32_t time;
    float latitude, longitude, speed;
    int speedLimit, flags;
};

std::vector<Record> parse(const Bytes& image, int* reported = nullptr) {
    int count = -1;
    EXPECT_EQ(parselog(image.data(), static_cast<int>(image.size()), nullptr, &count), 1);
    if (reported) *reported = count;
    std::vector<LogRecord> records(static_cast<size_t>(count));
    if (count > 0) {
        int again = -1;
        EXPECT_EQ(parselog(image.data(), static_cast<int>(image.size()), records.data(), &again), 1);
        EXPECT_EQ(again, count);
    }
    std::vector<Record> out;
    for (const LogRecord& r : records) out.push_back({r.time, r.latitude, r.longitude, r.speed, r.speedLimit, r.flags});
    return out;
}

// Restores the process-wide gate so tests don't leak it into each other.
struct OldestVersion {
    explicit OldestVersion(int v) { set_oldest_usable_version(v); }
    ~OldestVersion() { set_oldest_usable_version(4); }
};

void put16(Bytes& b, unsigned v) {
    b.push_back(static_cast<unsigned char>(v & 0xFF));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// 00 00 00 04 02 <family-5 header> with the given hemisphere, scale, speed and
// fractions; degree bytes 51 and 10, 2024-05-01 00:00:00.
Bytes familyFive(uint8_t hemisphere, uint8_t scale, unsigned speed, unsigned latFrac = 0, unsigned lonFrac = 0) {
    Bytes b = {0, 0, 0, 4, 2, 7, 0, 3, 51, 10, hemisphere, scale};
    put16(b, (24u << 9) | (5u << 5) | 1u);
    put16(b, 0);
    put16(b, speed);
    put16(b, latFrac);
    put16(b, lonFrac);
    return b;
}

// 00 00 00 03 <family-3 header>, degree bytes 49 and 112, 2007-06-15.
Bytes familyThree(unsigned dateWord, unsigned secondsWord, uint8_t interval = 0, unsigned latFrac = 0) {
    Bytes b = {0, 0, 0, 3, interval, 4, 49, 112};
    put16(b, dateWord);
    put16(b, secondsWord);
    put16(b, 10);
    put16(b, latFrac);
    put16(b, 0);
    return b;
}

const Bytes kWorkedExample = {0x00, 0x00, 0x00, 0x04, 0x01, 0x05, 0x04, 0x0A, 0x31, 0x70, 0x72, 0x10, 0x5B,
                              0xC9, 0x14, 0x00, 0x00, 0x10, 0x00, 0x08, 0x41, 0x81, 0x7F, 0x00, 0x00, 0x00};

TEST(ParselogWorkedExample, TwoRecordsWithExactValues) {
    const auto r = parse(kWorkedExample);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].time, 1205849947);
    EXPECT_EQ(r[0].latitude, 49.125004f);
    EXPECT_EQ(r[0].longitude, -112.0625f);
    EXPECT_EQ(r[0].speed, 37.04f);
    EXPECT_EQ(r[0].speedLimit, 60);
    EXPECT_EQ(r[0].flags, 11);
    EXPECT_EQ(r[1].time, 1205849952);
    EXPECT_EQ(r[1].latitude, 49.124973f);
    EXPECT_EQ(r[1].longitude, -112.062531f);
    EXPECT_EQ(r[1].speed, 38.892f);
    EXPECT_EQ(r[1].speedLimit, 60);
    EXPECT_EQ(r[1].flags, 0);
}

TEST(ParselogWorkedExample, RecordsAreWrittenAtAnEighteenByteStride) {
    std::vector<LogRecord> r(2);
    int count = 0;
    parselog(kWorkedExample.data(), static_cast<int>(kWorkedExample.size()), r.data(), &count);
    ASSERT_EQ(count, 2);
    const auto* raw = reinterpret_cast<const unsigned char*>(r.data());
    EXPECT_EQ(raw[16], 60);   // first speedLimit
    EXPECT_EQ(raw[17], 11);   // first flags
    EXPECT_EQ(raw[18 + 17], 0);
    int32_t secondTime;
    std::memcpy(&secondTime, raw + 18, 4);
    EXPECT_EQ(secondTime, 1205849952);
}

TEST(ParselogWorkedExample, FillCallTouchesNothingPastTheLastRecord) {
    std::vector<LogRecord> records(4);
    std::memset(records.data(), 0xAB, sizeof(LogRecord) * records.size());
    int count = 0;
    parselog(kWorkedExample.data(), static_cast<int>(kWorkedExample.size()), records.data(), &count);
    ASSERT_EQ(count, 2);
    const auto* raw = reinterpret_cast<const unsigned char*>(records.data());
    for (size_t i = 2 * sizeof(LogRecord); i < records.size() * sizeof(LogRecord); ++i) ASSERT_EQ(raw[i], 0xAB);
}

TEST(ParselogEmptyImages, NothingToFind) {
    int count = -1;
    EXPECT_EQ(parselog(nullptr, 0, nullptr, &count), 1);
    EXPECT_EQ(count, 0);
    // Fewer than three bytes: none is examined, so even a lone marker is ignored.
    const Bytes tiny = {0, 1};
    EXPECT_TRUE(parse(tiny).empty());
    EXPECT_TRUE(parse(Bytes(4096, 0xFF)).empty());
    EXPECT_TRUE(parse(Bytes(4096, 0x00)).empty());
}

TEST(ParselogCoordinates, DegreeByteAndFractionExtremes) {
    OldestVersion all(0);
    // Degree byte 0xB3: 51 degrees plus 30 minutes.
    Bytes b = {0, 0, 0, 2, 0xB3, 0x0A};
    put16(b, 0);
    put16(b, 0);
    auto r = parse(b);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].latitude, 51.5f);
    EXPECT_EQ(r[0].longitude, -10.0f);

    Bytes c = {0, 0, 0, 2, 51, 0x0A};
    put16(c, 0xFFFF);
    put16(c, 0);
    r = parse(c);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].latitude, static_cast<float>(51.0 + 300007.0 / 600000.0));
}

TEST(ParselogCoordinates, FamiliesThreeAndFourUseOnlyFourteenBitsOfAFraction) {
    OldestVersion all(0);
    auto r = parse(familyThree(0x0ECF, 0, 0, 0x4000));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].latitude, 49.0f);
}

TEST(ParselogCoordinates, FamilyFiveHemispheres) {
    auto r = parse(familyFive(0x00, 0xA0, 0));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].latitude, -51.0f);
    EXPECT_EQ(r[0].longitude, 10.0f);
    r = parse(familyFive(0xE0, 0xA0, 0));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].latitude, 51.0f);
    EXPECT_EQ(r[0].longitude, -138.0f);
}

TEST(ParselogCoordinates, FamilyFiveShiftScalesTheFraction) {
    // Shift 3 of 0x0800 is 0x4000: a quarter of the 30-minute span.
    auto r = parse(familyFive(0x80, 0xA3, 0, 0x0800));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].latitude, static_cast<float>(51.0 + (0x4000u * 65536u / 14316u) / 600000.0));
}

TEST(ParselogSpeed, FamilyFiveSpeedScale) {
    auto r = parse(familyFive(0x80, 0x00, 100));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].speed, 0.0f);
    r = parse(familyFive(0x80, 0xA0, 100));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].speed, static_cast<float>(100 * 1.852));
    r = parse(familyFive(0x80, 0x50, 100));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].speed, static_cast<float>(100 / (10.0 / 5) * 1.852));
}

TEST(ParselogSpeed, DeltaBytesAreSignedAroundSixtyFour) {
    // 0xBF is +127; after a code byte 0xC0 is -128 and 0xFE is -66.
    Bytes b = familyFive(0x80, 0xA0, 1000);
    for (int s : {0xBF, 0x01}) {
        b.push_back(0x89); // code byte first, so the speed byte may have bit 7 set
        b.push_back(static_cast<unsigned char>(s));
        b.push_back(0x80);
        b.push_back(0x80);
    }
    for (int s : {0xC0, 0xFE}) {
        b.push_back(0x89);
        b.push_back(static_cast<unsigned char>(s));
        b.push_back(0x80);
        b.push_back(0x80);
    }
    b.insert(b.end(), {0, 0, 0});
    const auto r = parse(b);
    ASSERT_EQ(r.size(), 5u);
    const double knots[] = {1000, 1127, 1064, 936, 870};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(r[i].speed, static_cast<float>(knots[i] * 1.852)) << i;
}

TEST(ParselogTime, DateAndSecondsWords) {
    OldestVersion all(3);
    auto r = parse(familyThree(0x0ECF, 3600));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].time, 1181869200); // 2007-06-15 01:00:00 UTC

    // Bit 15 of the date word is bit 16 of the seconds: 131071 s is 12:24:31 on the same date.
    r = parse(familyThree(0x0ECF | 0x8000, 0xFFFF));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].time, 1181865600 + 12 * 3600 + 24 * 60 + 31);
}

TEST(ParselogTime, RunPastMidnightKeepsItsDate) {
    OldestVersion all(3);
    Bytes b = familyThree(0x0ECF | 0x8000, 86398 - 65536, 0);
    for (int i = 0; i < 3; ++i) b.insert(b.end(), {0x40, 0x80, 0x80});
    b.insert(b.end(), {0, 0, 0});
    const auto r = parse(b);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[1].time, 1181865600 + 86399);
    EXPECT_EQ(r[2].time, 1181865600); // 00:00:00 of the same date
    EXPECT_EQ(r[3].time, 1181865601);
}

TEST(ParselogTime, CalendarNormalisation) {
    OldestVersion all(3);
    // Month 0 of 2008 is December 2007; day 0 of March 2008 is 29 February.
    auto r = parse(familyThree((8u << 9) | (0u << 5) | 5u, 0));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].time, 1196812800); // 2007-12-05
    r = parse(familyThree((8u << 9) | (3u << 5) | 0u, 0));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].time, 1204243200); // 2008-02-29
    // Month 13 runs into the next year; 31 April is 1 May.
    r = parse(familyThree((8u << 9) | (13u << 5) | 1u, 0));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].time, 1230768000); // 2009-01-01
    r = parse(familyThree((8u << 9) | (4u << 5) | 31u, 0));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].time, 1209600000); // 2008-05-01
}

TEST(ParselogTime, DatesPast2038KeepTheLowThirtyTwoBits) {
    OldestVersion all(3);
    const auto r = parse(familyThree((63u << 9) | (1u << 5) | 1u, 0)); // 2063-01-01
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(static_cast<uint32_t>(r[0].time), 2934835200u);
    EXPECT_LT(r[0].time, 0);
}

TEST(ParselogFamilies, FamilyTwoRun) {
    OldestVersion all(0);
    Bytes b = {0, 0, 0, 2, 49, 112};
    put16(b, 0x1000);
    put16(b, 0x1000);
    b.insert(b.end(), {0x81, 0x7F, 0x90, 0x70, 0xFF});
    const auto r = parse(b);
    ASSERT_EQ(r.size(), 3u);
    for (size_t i = 0; i < r.size(); ++i) {
        EXPECT_EQ(r[i].time, 943920000 + static_cast<int>(i));
        EXPECT_EQ(r[i].speed, 0.0f);
        EXPECT_EQ(r[i].speedLimit, 50);
        EXPECT_EQ(r[i].flags, i == 0 ? 1 : 0);
        EXPECT_LT(r[i].longitude, 0.0f);
    }
    // Family 2 points are longitude first: +1 then latitude -1.
    EXPECT_GT(r[1].longitude, r[0].longitude - 1e-3f);
    EXPECT_EQ(r[1].latitude, static_cast<float>(49 + ((0x0FFFu * 65536u) / 14316u) / 600000.0));
    EXPECT_EQ(r[1].longitude, static_cast<float>(-(112 + ((0x1001u * 65536u) / 14316u) / 600000.0)));
}

Bytes familyOne(uint16_t divisor, uint32_t range, uint16_t lonValue, uint16_t latValue) {
    Bytes b = {0, 0, 0, 1};
    put32(b, (49u << 24) | 100000u); // latitude origin
    put32(b, (112u << 24) | 599999u); // longitude origin, one unit short of a degree
    put32(b, range);
    put32(b, range);
    put16(b, divisor);
    put16(b, divisor);
    put32(b, 0);
    put16(b, lonValue);
    put16(b, latValue);
    return b;
}

TEST(ParselogFamilies, FamilyOnePositionsRangesAndStandStill) {
    OldestVersion all(0);
    Bytes b = familyOne(65535, 70000, 0, 0);
    b.insert(b.end(), {0x7F, 0x7E}); // latitude -1, longitude -2: offsets 1 and 2
    b.insert(b.end(), {0xFE, 0xFE}); // stand still
    b.insert(b.end(), {0x00, 0x00, 0x00});
    const auto r = parse(b);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0].latitude, static_cast<float>(49 + 100000 / 600000.0));
    EXPECT_EQ(r[0].longitude, static_cast<float>(-(112 + 599999 / 600000.0)));
    EXPECT_EQ(r[0].flags, 1);
    EXPECT_EQ(r[0].speedLimit, 50);
    // Offset 2 on the longitude carries into the next degree.
    EXPECT_EQ(r[1].longitude, static_cast<float>(-(113 + 1 / 600000.0)));
    EXPECT_EQ(r[1].latitude, static_cast<float>(49 + 100001 / 600000.0));
    EXPECT_EQ(r[2].flags, 8);
    EXPECT_EQ(r[2].latitude, r[1].latitude);
    EXPECT_EQ(r[2].longitude, r[1].longitude);
    EXPECT_EQ(r[2].time, r[1].time + 1);
}

TEST(ParselogFamilies, FamilyOneOutOfRangePointsAreSkippedAndZeroDivisorsAreInvalid) {
    OldestVersion all(0);
    Bytes b = familyOne(65535, 1, 0, 0);
    b.insert(b.end(), {0x7E, 0x80}); // latitude offset 2: beyond range 1
    b.insert(b.end(), {0x81, 0x80}); // back to offset 1
    b.insert(b.end(), {0x00, 0x00, 0x00});
    auto r = parse(b);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[1].time, r[0].time + 2);

    r = parse(familyOne(0, 0xFFFFFFFF, 0, 0));
    EXPECT_TRUE(r.empty());
}

TEST(ParselogPoints, CodeByteChangesOnlyTheLimit) {
    Bytes b = familyFive(0x80, 0xA0, 20);
    b.insert(b.end(), {0x8A, 0x40, 0x80, 0x80, 0x00, 0x00, 0x00});
    const auto r = parse(b);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].speedLimit, 20); // limit code 3
    EXPECT_EQ(r[1].speedLimit, 60);
    EXPECT_EQ(r[1].speed, r[0].speed);
    EXPECT_EQ(r[1].latitude, r[0].latitude);
    EXPECT_EQ(r[1].longitude, r[0].longitude);
}

TEST(ParselogPoints, EndByteStartsTheNextRun) {
    // The 0xFF ends the first run; the 00 00 00 04 after it starts another.
    Bytes b = familyFive(0x80, 0xA0, 0);
    b.insert(b.end(), {0x40, 0x81, 0x81});
    b.push_back(0x00); // end byte, and the first zero of the next sync
    Bytes next = familyFive(0x80, 0xA0, 0);
    b.insert(b.end(), next.begin() + 1, next.end());
    const auto r = parse(b);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[2].flags, 7 * 2 + 1);
}

TEST(ParselogPoints, PointsNeedThreeBytesLeft) {
    OldestVersion all(0);
    Bytes b = {0, 0, 0, 2, 49, 112};
    put16(b, 0);
    put16(b, 0);
    b.insert(b.end(), {0x81, 0x81}); // a final two-byte point at the very end
    EXPECT_EQ(parse(b).size(), 1u);
    b.push_back(0x81);                 // now three bytes remain: the point counts
    EXPECT_EQ(parse(b).size(), 2u);
}

TEST(ParselogPoints, PointCutShortByTheEndGivesNoRecord) {
    Bytes b = familyFive(0x80, 0xA0, 0);
    b.insert(b.end(), {0x8A, 0x40, 0x80}); // code byte, speed, longitude; latitude missing
    EXPECT_EQ(parse(b).size(), 1u);
}

TEST(ParselogScan, SyncRules) {
    // Bytes 1-4 between zeros don't reset the count; a byte above 4 does.
    Bytes b = {0, 3, 0, 2, 0};
    Bytes run = familyFive(0x80, 0xA0, 0);
    b.insert(b.end(), run.begin() + 3, run.end());
    EXPECT_EQ(parse(b).size(), 1u);
    Bytes c = {0, 0, 5, 0};
    c.insert(c.end(), run.begin() + 3, run.end());
    EXPECT_TRUE(parse(c).empty());
    // More than three zeros are still a sync.
    Bytes d(10, 0);
    d.insert(d.end(), run.begin() + 3, run.end());
    EXPECT_EQ(parse(d).size(), 1u);
}

TEST(ParselogScan, HeaderCutShortEndsTheParse) {
    Bytes b = familyFive(0x80, 0xA0, 0);
    b.pop_back();
    EXPECT_TRUE(parse(b).empty());
}

TEST(ParselogScan, MarkerFourWithZeroReadsAFamilyThreeHeader) {
    OldestVersion all(3);
    Bytes b = {0, 0, 0, 4, 0x00, 4, 49, 112};
    put16(b, 0x0ECF);
    put16(b, 3600);
    put16(b, 0);
    put16(b, 0);
    put16(b, 0);
    const auto r = parse(b);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].time, 1181869200);
    EXPECT_EQ(r[0].flags, 1);
    EXPECT_EQ(r[0].speedLimit, 25);
}

TEST(ParselogScan, UnknownFamilyPrintsTheMessageAndScanningGoesOn) {
    Bytes b = {0, 0, 0, 4, 3, 0, 0, 0};
    const Bytes run = familyFive(0x80, 0xA0, 0);
    b.insert(b.end(), run.begin() + 3, run.end());
    testing::internal::CaptureStdout();
    const auto r = parse(b);
    const std::string out = testing::internal::GetCapturedStdout();
    // Printed once per call: count and fill.
    const std::string line =
        "The log download could not be completed because the logs in your Bexo require a newer version of Bexo Log "
        "Export. Please upgrade your copy of Bexo Log Export and try the download again. (Log family 006)\n";
    EXPECT_EQ(out, line + line);
    EXPECT_EQ(r.size(), 1u);
}

TEST(ParselogGate, LastFamilyDecides) {
    // A family-3 run last: gated to 0 by default, all records once the gate is 3.
    Bytes b = familyFive(0x80, 0xA0, 0);
    const Bytes three = familyThree(0x0ECF, 0);
    b.insert(b.end(), three.begin(), three.end());
    int count = -1;
    parse(b, &count);
    EXPECT_EQ(count, 0);
    {
        OldestVersion v(3);
        parse(b, &count);
        EXPECT_EQ(count, 2);
    }
    // Family-2 runs first and a family-5 run last: everything is reported.
    Bytes c = {0, 0, 0, 2, 49, 112, 0, 0, 0, 0};
    const Bytes five = familyFive(0x80, 0xA0, 0);
    c.insert(c.end(), five.begin(), five.end());
    parse(c, &count);
    EXPECT_EQ(count, 2);
    // Only the low 8 bits count: 0x103 is 3.
    {
        OldestVersion v(0x103);
        parse(b, &count);
        EXPECT_EQ(count, 2);
    }
}

TEST(ParselogGate, UnknownFamilyZeroIsBelowTheGate) {
    // Marker 4 with 0xFD is family 0: unrecognised, and it is the last family read.
    Bytes b = familyFive(0x80, 0xA0, 0);
    b.insert(b.end(), {0, 0, 0, 4, 0xFD, 0x50, 0x50});
    int count = -1;
    testing::internal::CaptureStdout();
    parse(b, &count);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("(Log family 000)"), std::string::npos);
    EXPECT_EQ(count, 0);
}

} // namespace
