// Raw runs built with the header builders, read back by the parser.
#include "decode.h"
#include "logimage/logimage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

using namespace logimage;
using logimage_test::decode;

class RawRuns : public ::testing::Test {
    logimage_test::AllFamilies gate_;
};

namespace {

constexpr int32_t kFamilyOneTwoStart = 943920000; // the undated families' fixed start

} // namespace

TEST_F(RawRuns, FamilyOneKeepsByteOrderRangesAndStandstill) {
    // Divisor 4096: offset = (65536 - value) * 16 units.
    FamilyOneFields f;
    f.latOrigin = familyOneOrigin(49, 0);
    f.lonOrigin = familyOneOrigin(112, 590000);
    f.latRange = 16000;
    f.latDivisor = 4096;
    f.lonDivisor = 4096;
    f.latValue = 65536 - 1000; // 16000 units
    f.lonValue = 65536 - 2000; // 32000 units, carries into the next degree
    RawRun run{1, familyOneHeader(f), {}};
    run.points.push_back({-1, 64, 138, 128}); // latitude value +10: 15840 units
    run.points.push_back({-1, 64, 117, 128}); // -11: 16016 units, outside the range
    run.points.push_back({-1, 64, 130, 118}); // +2: 15984; longitude -10: 32160
    run.points.push_back({-1, 64, 0xFE, 0xFE}); // stays put, flagged
    std::vector<uint8_t> image;
    appendRun(image, run);
    padTo(image, image.size() + 8);

    const auto r = decode(image);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].time, kFamilyOneTwoStart);
    EXPECT_EQ(r[0].flags, 1);
    EXPECT_EQ(r[0].speedLimit, 50);
    EXPECT_FLOAT_EQ(r[0].latitude, static_cast<float>(49 + 16000 / 600000.0));
    EXPECT_FLOAT_EQ(r[0].longitude, static_cast<float>(-(113 + 22000 / 600000.0)));
    EXPECT_FLOAT_EQ(r[1].latitude, static_cast<float>(49 + 15840 / 600000.0));
    EXPECT_EQ(r[1].time, kFamilyOneTwoStart + 1);
    // The out-of-range point is left out but still takes its second.
    EXPECT_EQ(r[2].time, kFamilyOneTwoStart + 3);
    EXPECT_FLOAT_EQ(r[2].latitude, static_cast<float>(49 + 15984 / 600000.0));
    EXPECT_FLOAT_EQ(r[2].longitude, static_cast<float>(-(113 + 22160 / 600000.0)));
    EXPECT_EQ(r[3].flags, 8);
    EXPECT_EQ(r[3].latitude, r[2].latitude);
    EXPECT_EQ(r[3].longitude, r[2].longitude);
    for (const auto& rec : r) EXPECT_EQ(rec.speed, 0.0f);
}

TEST_F(RawRuns, FamilyTwoWritesLongitudeDeltaFirst) {
    RawRun run{2, familyTwoHeader({degreeByte(51, true), degreeByte(10, false), fractionFor(120000, 0), fractionFor(60000, 0)}),
               {}};
    for (int i = 0; i < 5; ++i) run.points.push_back({-1, 64, 128 + 20, 128 - 10});
    std::vector<uint8_t> image;
    appendRun(image, run);
    image.push_back(0x00);

    const auto r = decode(image);
    ASSERT_EQ(r.size(), 6u);
    EXPECT_NEAR(r[0].latitude, 51.7, 1e-5);
    EXPECT_NEAR(r[0].longitude, -10.1, 1e-5);
    for (std::size_t i = 1; i < r.size(); ++i) {
        EXPECT_EQ(r[i].time, kFamilyOneTwoStart + static_cast<int32_t>(i));
        EXPECT_EQ(r[i].flags, 0);
        EXPECT_LT(r[i].longitude, r[i - 1].longitude); // west, growing
        EXPECT_LT(r[i].latitude, r[i - 1].latitude);
    }
    // 20 steps of about 4.58 units each way per point, twice as many in longitude.
    EXPECT_NEAR(r[0].longitude - r[5].longitude, 2 * (r[0].latitude - r[5].latitude), 2e-5);
}

TEST_F(RawRuns, FamilyFourHeaderMatchesAKnownImage) {
    TimedFields h;
    h.observation = 5;
    h.interval = 4;
    h.limitCode = 10;
    h.latDegree = 49;
    h.lonDegree = 112;
    h.date = dateWord(2008, 3, 18, 51547);
    h.seconds = secondsWord(51547);
    h.speed = 20;
    h.latFraction = 0x1000;
    h.lonFraction = 0x0800;
    std::vector<uint8_t> image;
    appendRun(image, {4, familyFourHeader(h), {{-1, 0x41, 0x81, 0x7F}}});
    appendSync(image);
    const std::vector<uint8_t> expected = {0x00, 0x00, 0x00, 0x04, 0x01, 0x05, 0x04, 0x0A, 0x31, 0x70, 0x72, 0x10, 0x5B,
                                           0xC9, 0x14, 0x00, 0x00, 0x10, 0x00, 0x08, 0x41, 0x81, 0x7F, 0x00, 0x00, 0x00};
    EXPECT_EQ(image, expected);
}

TEST_F(RawRuns, FamilyThreeAndFiveHeadersDecode) {
    TimedFields h;
    h.interval = 1;
    h.limitCode = 12;
    h.latDegree = degreeByte(45, true);
    h.lonDegree = degreeByte(75, false);
    EXPECT_EQ(dateWord(2007, 6, 15), 0x0ECF);
    h.date = dateWord(2007, 6, 15, 70000); // seconds past 65535 set bit 15
    EXPECT_EQ(h.date, 0x8ECF);
    h.seconds = secondsWord(70000);
    h.speed = 30;
    h.latFraction = fractionFor(150000, 2);
    h.lonFraction = fractionFor(30000, 2);
    std::vector<uint8_t> image;
    appendRun(image, {3, familyThreeHeader(h), {{-1, 64 + 2, 128 + 1, 128 - 1}}});

    // Family 5, south-east, beyond 128 degrees east, shift 3, speed in 0.5 knots.
    h.observation = 19;
    h.hemisphere = kPlus128;
    h.scale = scaleByte(5, 3);
    h.lonDegree = degreeByte(25, true); // 153.5 east
    h.latFraction = fractionFor(150000, 3);
    h.lonFraction = fractionFor(30000, 3);
    appendRun(image, {5, familyFiveHeader(h), {{3, 64 - 10, 128 + 1, 128 - 1}}});
    image.push_back(0x00);

    const auto r = decode(image);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].time, 1181865600 + 70000);
    EXPECT_EQ(r[1].time, r[0].time + 2);
    EXPECT_NEAR(r[0].latitude, 45.75, logimage_test::coordinateTolerance(2));
    EXPECT_NEAR(r[0].longitude, -75.05, logimage_test::coordinateTolerance(2));
    EXPECT_NEAR(r[0].speed, 30 * 1.852, 1e-4);
    EXPECT_NEAR(r[1].speed, 32 * 1.852, 1e-4);
    EXPECT_EQ(r[0].speedLimit, 80);
    EXPECT_EQ(r[0].flags, 1);

    EXPECT_EQ(r[2].flags, 19 * 2 + 1);
    EXPECT_NEAR(r[2].latitude, -45.75, logimage_test::coordinateTolerance(3));
    EXPECT_NEAR(r[2].longitude, 128 + 25.55, logimage_test::coordinateTolerance(3));
    EXPECT_NEAR(r[2].speed, 30 * 0.5 * 1.852, 1e-4);
    EXPECT_NEAR(r[3].speed, 20 * 0.5 * 1.852, 1e-4);
    EXPECT_EQ(r[3].speedLimit, 20);
    EXPECT_GT(r[3].longitude, r[2].longitude);
    EXPECT_GT(r[3].latitude, r[2].latitude); // south: a smaller fraction is further north
}

TEST_F(RawRuns, PaddingAndMisuse) {
    std::vector<uint8_t> image;
    appendRun(image, {2, familyTwoHeader({}), {{-1, 64, 130, 130}}});
    const std::size_t written = image.size();
    padTo(image, 64);
    ASSERT_EQ(image.size(), 64u);
    EXPECT_EQ(std::count(image.begin() + static_cast<std::ptrdiff_t>(written), image.end(), 0xFF), 64 - static_cast<int>(written));
    EXPECT_EQ(decode(image).size(), 2u);

    EXPECT_THROW(appendRun(image, {6, std::vector<uint8_t>(18), {}}), std::invalid_argument);
    EXPECT_THROW(appendRun(image, {5, familyFourHeader({}), {}}), std::invalid_argument);
    EXPECT_THROW(appendRun(image, {5, familyFiveHeader({}), {{128, 64, 128, 128}}}), std::invalid_argument);
    EXPECT_EQ(image.size(), 64u); // a rejected run writes nothing
}
