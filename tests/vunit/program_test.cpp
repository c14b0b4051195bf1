// The application's program-flash commands and the PIC18F4550 hand-over.
#include "host.h"

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

Bytes writeWords(uint16_t address, const Bytes& words) {
    return join({0x11, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)}, words);
}

Bytes readWords(uint16_t address, uint16_t count) {
    return {0x10, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(count),
            static_cast<uint8_t>(count >> 8)};
}

Bytes eraseRow(uint16_t address) { return {0x1C, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)}; }

} // namespace

TEST(ProgramFlash, Pic18WritesOnlyClearBitsUntilTheRowIsErased) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x1087), h);
    ASSERT_EQ(transact(h, writeWords(0x100, {0xF0, 0x0F, 0x33, 0xCC})), Bytes{0x01});
    ASSERT_EQ(transact(h, writeWords(0x100, {0x3C, 0xFF})), Bytes{0x01});
    EXPECT_EQ(transact(h, readWords(0x100, 2)), (Bytes{0x09, 0x30, 0x0F, 0x33, 0xCC}));
    ASSERT_EQ(transact(h, eraseRow(0x13F)), Bytes{0x01}); // the row 0x100-0x13F
    ASSERT_EQ(transact(h, writeWords(0x100, {0x3C, 0xFF})), Bytes{0x01});
    EXPECT_EQ(transact(h, readWords(0xFE, 3)), (Bytes{0x09, 0xFF, 0xFF, 0x3C, 0xFF, 0xFF, 0xFF}));

    // Buffers: 60 words to read, 128 to write; whole words; inside the chip.
    const auto big = transact(h, readWords(0, 60));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->size(), 121u);
    EXPECT_EQ(transact(h, readWords(0, 61)), Bytes{0x00});
    EXPECT_EQ(transact(h, writeWords(0x200, Bytes(256, 0))), Bytes{0x01});
    EXPECT_EQ(transact(h, writeWords(0x400, Bytes(258, 0))), Bytes{0x00});
    EXPECT_EQ(transact(h, writeWords(0x400, Bytes(3, 0))), Bytes{0x00});
    EXPECT_EQ(transact(h, readWords(0xFFFE, 1)).value_or(Bytes{}).size(), 3u); // last word of 0x10000 bytes
    EXPECT_EQ(transact(h, readWords(0xFFFE, 2)), Bytes{0x00});
    EXPECT_EQ(transact(h, {0x10, 0, 0, 1}), Bytes{0x00});
}

TEST(ProgramFlash, Pic16WritesReplaceFourteenBitWordsAtWordAddresses) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x0E2A), h);
    EXPECT_EQ(transact(h, readWords(0x10, 1)), (Bytes{0x09, 0xFF, 0x3F}));
    ASSERT_EQ(transact(h, writeWords(0x10, {0x00, 0x00, 0xFF, 0xFF})), Bytes{0x01});
    ASSERT_EQ(transact(h, writeWords(0x10, {0x34, 0x12})), Bytes{0x01});
    EXPECT_EQ(transact(h, readWords(0x10, 2)), (Bytes{0x09, 0x34, 0x12, 0xFF, 0x3F}));
    EXPECT_EQ(transact(h, readWords(8191, 1)).value_or(Bytes{}).size(), 3u);
    EXPECT_EQ(transact(h, readWords(8192, 1)), Bytes{0x00});
}

TEST(ProgramFlash, UnknownCpuRefusesProgramCommands) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x1300), h);
    EXPECT_EQ(transact(h, readWords(0, 1)), Bytes{0x00});
    EXPECT_EQ(transact(h, {0x0D}).value_or(Bytes{}).size(), 6u);
}

TEST(ProgramFlash, Pic4550BootLoaderInstallsTheImageFromExternalFlash) {
    const vunit::Identity id = streamIdentity(0x1200, 18);
    vunit::Storage s = vunit::blankStorage(id);
    Bytes image(100);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(0x80 ^ i);
    const Bytes header = {0x44, 0x55, 0x66, 0x77, static_cast<uint8_t>(image.size()), 0};
    std::copy(header.begin(), header.end(), s.sectors[0].begin());
    std::copy(image.begin(), image.end(), s.sectors[0].begin() + 6);
    std::fill(s.programFlash.begin(), s.programFlash.begin() + 200, 0x00); // an old application
    auto u = vunit::makeUnit(id, std::move(s), {});
    Host h = hostFor(*u);
    powerOn(h);
    reframe(h);
    ASSERT_EQ(transact(h, {0x0A}), Bytes{0x01});

    EXPECT_EQ(transact(h, {0x16, 0xC0, 0x7E}), Bytes{0x00}); // only 0x7FC0
    ASSERT_EQ(transact(h, {0x16, 0xC0, 0x7F}), Bytes{0x01});
    // The new application runs, freshly started (download mode gone).
    EXPECT_EQ((*status(h))[0], 0x02);
    const auto a = transact(h, readWords(0, 60));
    ASSERT_TRUE(a);
    EXPECT_EQ(Bytes(a->begin() + 1, a->begin() + 101), image);
    EXPECT_EQ(Bytes(a->begin() + 101, a->end()), Bytes(20, 0xFF)); // rest of the last row erased
    EXPECT_EQ(transact(h, readWords(128, 1)), (Bytes{0x09, 0x00, 0x00})); // beyond: untouched
}

TEST(ProgramFlash, Pic4550WithoutImageStaysInItsBootLoader) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x1200), h);
    ASSERT_EQ(transact(h, {0x16, 0xC0, 0x7F}), Bytes{0x01});
    EXPECT_EQ((*status(h))[0], 0x03);
    EXPECT_FALSE(transact(h, {0x0D}, 0));
    EXPECT_TRUE(setCounter(h, 0));

    Host other;
    auto u2 = poweredUnit(streamIdentity(0x1087), other);
    EXPECT_EQ(transact(other, {0x16, 0xC0, 0x7F}), Bytes{0x00}); // no such hand-over elsewhere
}
