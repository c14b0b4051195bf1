// Damaged images: cut short or with bytes changed, the parser must stay
// within what it reported and within the array it was given.
#include "decode.h"
#include "logimage/logimage.h"
#include "sample_track.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

using namespace logimage;

namespace {

// Mixed families: undated runs, then a drive in family 5 with observations,
// both hemispheres and code bytes.
std::vector<uint8_t> mixedImage() {
    std::vector<uint8_t> image{0xFF, 0x12, 0x00};
    FamilyOneFields f1;
    f1.latOrigin = familyOneOrigin(49, 1000);
    f1.lonOrigin = familyOneOrigin(100, 2000);
    f1.latDivisor = f1.lonDivisor = 4096;
    f1.latValue = f1.lonValue = 65000;
    appendRun(image, {1, familyOneHeader(f1), {{-1, 64, 140, 120}, {-1, 64, 0xFE, 0xFE}, {-1, 64, 100, 150}}});
    appendRun(image, {2, familyTwoHeader({40, 80, 1000, 2000}), {{-1, 64, 130, 126}, {-1, 64, 131, 125}}});
    sampletrack::DriveOptions o;
    o.seconds = 90;
    o.observationEvery = 20;
    const auto drive = encodeTrack(sampletrack::drive(o));
    image.insert(image.end(), drive.begin(), drive.end());
    auto south = sampletrack::drive(o);
    for (Fix& fx : south) fx.latitude = -fx.latitude;
    const auto southImage = encodeTrack(south);
    image.insert(image.end(), southImage.begin(), southImage.end());
    return image;
}

} // namespace

TEST(DamagedImages, EveryTruncationGivesAPrefix) {
    const logimage_test::AllFamilies gate;
    const auto image = mixedImage();
    const auto full = logimage_test::decodeRecords(image);
    ASSERT_GT(full.size(), 150u);
    std::size_t previous = 0;
    for (std::size_t len = 0; len <= image.size(); ++len) {
        // A copy of exactly `len` bytes, so reading past it is caught by ASan.
        const std::vector<uint8_t> cut(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(len));
        const auto r = logimage_test::decodeRecords(cut);
        ASSERT_LE(r.size(), full.size()) << "length " << len;
        ASSERT_GE(r.size(), previous) << "length " << len;
        for (std::size_t i = 0; i < r.size(); ++i)
            ASSERT_EQ(0, std::memcmp(&r[i], &full[i], sizeof(LogRecord))) << "length " << len << " record " << i;
        previous = r.size();
    }
    EXPECT_EQ(previous, full.size());
}

TEST(DamagedImages, ChangedBytesNeverOverrunTheCount) {
    const auto image = mixedImage();
    std::mt19937 rng(20240614);
    int nonzero = 0;
    for (int round = 0; round < 3000; ++round) {
        auto bad = image;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < flips; ++k) {
            const std::size_t at = rng() % bad.size();
            // Favour the bytes that steer the parser.
            static constexpr uint8_t kTelling[] = {0x00, 0xFF, 0x01, 0x02, 0x03, 0x04, 0x80, 0xFE};
            bad[at] = rng() % 2 ? kTelling[rng() % 8] : static_cast<uint8_t>(rng());
        }
        if (rng() % 4 == 0) bad.resize(rng() % bad.size());
        const int length = static_cast<int>(bad.size());
        int count = -1;
        parselog(bad.data(), length, nullptr, &count);
        ASSERT_GE(count, 0);
        if (count == 0) continue;
        ++nonzero;
        // Exactly `count` records on the heap: ASan reports a write past them.
        const auto exact = std::make_unique<LogRecord[]>(static_cast<std::size_t>(count));
        int filled = -1;
        parselog(bad.data(), length, exact.get(), &filled);
        ASSERT_EQ(filled, count) << "round " << round;
        // Without ASan, a guard zone after the records tells the same.
        std::vector<LogRecord> guarded(static_cast<std::size_t>(count) + 64);
        std::memset(guarded.data(), 0xA5, guarded.size() * sizeof(LogRecord));
        parselog(bad.data(), length, guarded.data(), &filled);
        const auto* tail = reinterpret_cast<const uint8_t*>(guarded.data() + count);
        for (std::size_t b = 0; b < 64 * sizeof(LogRecord); ++b) ASSERT_EQ(tail[b], 0xA5) << "round " << round;
        ASSERT_EQ(0, std::memcmp(exact.get(), guarded.data(), static_cast<std::size_t>(count) * sizeof(LogRecord)));
    }
    EXPECT_GT(nonzero, 1000);
}
