// What a power-up starts once the reset vector has been rewritten, or only
// partly: the boot-loader, the new application, or nothing at all.
#include "host.h"

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

constexpr std::array<uint8_t, 6> kPowerStep1 = {0, 0, 0, 2, 2, 0};

enum class Starts { Application, BootLoader, Nothing };

// Power cycles the unit and sees who answers: the boot-loader to the
// counter (an application ignores unframed bytes), else the application to
// the version request once pin 5 is up.
Starts powerCycle(Host& h) {
    setPins(h, {0, 0, 0, 0, 0, 0});
    setPins(h, kPowerStep1);
    if (setCounter(h, 0)) return Starts::BootLoader;
    setPins(h, {0, 0, 0, 2, 2, 2});
    reframe(h);
    const auto version = transact(h, {0x0D}, 100);
    return version && !version->empty() && (*version)[0] == 0x08 ? Starts::Application : Starts::Nothing;
}

Bytes words(uint16_t address, size_t count, uint8_t from) {
    Bytes r = {0x11, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)};
    for (size_t i = 0; i < 2 * count; ++i) r.push_back(static_cast<uint8_t>(from + i));
    return r;
}

void bootWrite1(Host& h, uint8_t lo, uint8_t hi) { unframed(h, {3, lo, hi, 0, 0, 0, 0}, 0, 0, true); }
void bootErase(Host& h) { unframed(h, {6, 0, 0, 0, 0, 0, 0}, 0, 0, true); }

} // namespace

TEST(ResetVector, Pic18BootLoaderVectorsNeedTheErasedRowAndAllTenWords) {
    {
        Host h;
        auto u = poweredUnit(streamIdentity(0x1087), h);
        ASSERT_EQ(transact(h, {0x1C, 0, 0}), Bytes{0x01});
        EXPECT_EQ(powerCycle(h), Starts::Nothing); // erased: it runs into whatever follows
        EXPECT_TRUE(vunit::storageOf(*u).resetVectorBroken);
    }
    {
        Host h;
        auto u = poweredUnit(streamIdentity(0x1087), h);
        ASSERT_EQ(transact(h, {0x1C, 0, 0}), Bytes{0x01});
        ASSERT_EQ(transact(h, words(0, 10, 0x20)), Bytes{0x01});
        EXPECT_EQ(powerCycle(h), Starts::BootLoader);
    }
    {
        Host h; // over the application's own vectors, without the erase
        auto u = poweredUnit(streamIdentity(0x1087), h);
        vunit::storageOf(*u).programFlash[0] = 0x12;
        ASSERT_EQ(transact(h, words(0, 10, 0x20)), Bytes{0x01});
        EXPECT_EQ(powerCycle(h), Starts::Nothing);
    }
    {
        Host h; // fewer than the vector words
        auto u = poweredUnit(streamIdentity(0x1087), h);
        ASSERT_EQ(transact(h, {0x1C, 0, 0}), Bytes{0x01});
        ASSERT_EQ(transact(h, words(0, 4, 0x20)), Bytes{0x01});
        EXPECT_EQ(powerCycle(h), Starts::Nothing);
    }
    {
        Host h; // elsewhere in program flash the reset vector is not touched
        auto u = poweredUnit(streamIdentity(0x1087), h);
        ASSERT_EQ(transact(h, {0x1C, 0x40, 0}), Bytes{0x01});
        ASSERT_EQ(transact(h, words(0x40, 10, 0x20)), Bytes{0x01});
        EXPECT_EQ(powerCycle(h), Starts::Application);
    }
}

TEST(ResetVector, PowerCutInTheVectorWriteLeavesNothingToStart) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x1087), h);
    ASSERT_EQ(transact(h, {0x1C, 0, 0}), Bytes{0x01});
    vunit::armFault(*u, "power-cut-program:1");
    EXPECT_FALSE(transact(h, words(0, 10, 0x20), 0));
    EXPECT_FALSE(vunit::isPlugged(*u));
    EXPECT_TRUE(vunit::storageOf(*u).resetVectorBroken);
}

TEST(ResetVector, Pic18FirstBlockStartsTheApplicationOnlyWhenWhole) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x1087), h);
    ASSERT_EQ(transact(h, {0x1C, 0, 0}), Bytes{0x01});
    ASSERT_EQ(transact(h, words(0, 10, 0x20)), Bytes{0x01});
    ASSERT_EQ(powerCycle(h), Starts::BootLoader);

    ASSERT_TRUE(setCounter(h, 0));
    bootErase(h);
    EXPECT_EQ(powerCycle(h), Starts::Nothing);
    ASSERT_TRUE(vunit::storageOf(*u).resetVectorBroken);

    // Erased again and written, one word short; then whole.
    vunit::storageOf(*u).resetVectorBroken = false;
    ASSERT_EQ(powerCycle(h), Starts::BootLoader);
    ASSERT_TRUE(setCounter(h, 0));
    bootErase(h);
    ASSERT_TRUE(setCounter(h, 0));
    for (int j = 0; j < 31; ++j) bootWrite1(h, static_cast<uint8_t>(j), 0x0E);
    EXPECT_TRUE(vunit::storageOf(*u).resetVectorBroken);
    bootWrite1(h, 31, 0x0E);
    EXPECT_FALSE(vunit::storageOf(*u).resetVectorBroken);
    EXPECT_EQ(powerCycle(h), Starts::Application);
}

TEST(ResetVector, Pic16RewritesItsFourWordsInPlace) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x0E2A), h);
    ASSERT_EQ(transact(h, words(0, 4, 0x01)), Bytes{0x01}); // no erase on this chip
    ASSERT_EQ(powerCycle(h), Starts::BootLoader);
    ASSERT_TRUE(setCounter(h, 0));
    for (int j = 0; j < 3; ++j) bootWrite1(h, static_cast<uint8_t>(0x30 + j), 0x28);
    EXPECT_EQ(powerCycle(h), Starts::Nothing); // three new words, one old: a mixed vector
    vunit::storageOf(*u).resetVectorBroken = false;
    ASSERT_EQ(powerCycle(h), Starts::BootLoader);
    ASSERT_TRUE(setCounter(h, 0));
    for (int j = 0; j < 4; ++j) bootWrite1(h, static_cast<uint8_t>(0x30 + j), 0x28);
    EXPECT_EQ(powerCycle(h), Starts::Application);
}
