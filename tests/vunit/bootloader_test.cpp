// The boot-loader's unframed commands, and a whole firmware load through them.
#include "host.h"

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

UnitPtr bootLoaderUnit(uint16_t cpuId, Host& h) {
    const vunit::Identity id = streamIdentity(cpuId);
    vunit::Storage s = vunit::blankStorage(id);
    s.applicationValid = false;
    UnitPtr u = vunit::makeUnit(id, std::move(s), {});
    h = hostFor(*u);
    setPins(h, {0, 0, 0, 2, 2, 0});
    reframe(h);
    return u;
}

Bytes read14(Host& h) { return unframed(h, {2, 0, 0, 0, 0, 0, 0}, 28, 5000, false).value_or(Bytes{}); }

void send(Host& h, const Bytes& request) { unframed(h, request, 0, 0, true); }

Bytes command(uint8_t code, const Bytes& words) {
    Bytes r = join({code}, words);
    while (r.size() % 7) r.push_back(0);
    return r;
}

Bytes counting(size_t n, uint8_t from) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(from + i);
    return b;
}

} // namespace

TEST(BootLoader, CounterMovesByWordsTimesBytesPerAddress) {
    Host h;
    auto u = bootLoaderUnit(0x1087, h);
    ASSERT_TRUE(setCounter(h, 64));
    send(h, command(4, counting(6, 1)));   // words 32-34
    send(h, command(3, {0xAA, 0xBB}));     // word 35: counter now 72
    send(h, command(5, counting(48, 100))); // words 36-59
    ASSERT_TRUE(setCounter(h, 64));
    const Bytes expected = join(join(counting(6, 1), {0xAA, 0xBB}), counting(48, 100));
    const Bytes first = read14(h);
    const Bytes got = join(first, read14(h)); // the counter moved on by 28 bytes
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 56), expected);

    const auto cpu = unframed(h, {7, 0, 0, 0, 0, 0, 0}, 7, 500, false);
    EXPECT_EQ(cpu, (Bytes{0x87, 0x10, 0, 0, 0, 0, 0}));
}

TEST(BootLoader, Pic18AndsIntoFlashUntilErased) {
    Host h;
    auto u = bootLoaderUnit(0x1087, h);
    ASSERT_TRUE(setCounter(h, 0x100));
    send(h, command(3, {0xF0, 0x0F}));
    ASSERT_TRUE(setCounter(h, 0x100));
    send(h, command(3, {0x3C, 0x3C}));
    ASSERT_TRUE(setCounter(h, 0x100));
    const Bytes anded = read14(h);
    EXPECT_EQ(Bytes(anded.begin(), anded.begin() + 3), (Bytes{0x30, 0x0C, 0xFF}));
    ASSERT_TRUE(setCounter(h, 0x13E)); // erase the row holding it
    send(h, command(6, {}));
    ASSERT_TRUE(setCounter(h, 0x100));
    EXPECT_EQ(read14(h), Bytes(28, 0xFF));
}

TEST(BootLoader, Pic16ReplacesWordsAtWordAddresses) {
    Host h;
    auto u = bootLoaderUnit(0x0E2A, h);
    ASSERT_TRUE(setCounter(h, 4));
    send(h, command(3, {0x00, 0x00}));
    ASSERT_TRUE(setCounter(h, 4));
    send(h, command(4, {0x34, 0x12, 0xFF, 0xFF, 0x01, 0x00}));
    ASSERT_TRUE(setCounter(h, 3));
    const Bytes got = read14(h);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 10), (Bytes{0xFF, 0x3F, 0x34, 0x12, 0xFF, 0x3F, 0x01, 0x00, 0xFF, 0x3F}));
}

TEST(BootLoader, ZeroBytesAndMisfitRequestsDoNothing) {
    Host h;
    auto u = bootLoaderUnit(0x1087, h);
    ASSERT_TRUE(setCounter(h, 0x40));
    send(h, command(3, {0x12, 0x34}));
    ASSERT_TRUE(setCounter(h, 0x40));
    sendZeros49(h); // seven 0x10 reports
    h.nt = true;
    sendZeros49(h); // one 0x13 report
    h.nt = false;
    EXPECT_TRUE(silent(h));
    // Command 5 needs 49 bytes: in an 8-byte report it cannot be, and is dropped.
    unframed(h, command(5, Bytes(6, 0)), 0, 0, false);
    const Bytes got = read14(h); // the counter is still 0x40
    EXPECT_EQ(got[0], 0x12);
    EXPECT_EQ(got[1], 0x34);
    EXPECT_EQ(got[2], 0xFF);
}

// The host loader's path for a PIC18F4520 unit running its application.
TEST(BootLoader, WholeFirmwareLoadEndsInTheNewApplication) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x1087), h);
    const uint16_t s = 0x7000; // boot-loader body, words
    // Boot-loader through the application: erase, body, read back, vectors.
    for (uint32_t a = 2u * s; a < 2u * (s + 64); a += 64)
        ASSERT_EQ(transact(h, {0x1C, static_cast<uint8_t>(a), static_cast<uint8_t>(a >> 8)}), Bytes{0x01});
    const Bytes bodyWords = counting(128, 7);
    const Bytes body = join({0x11, static_cast<uint8_t>(2 * s), static_cast<uint8_t>((2 * s) >> 8)}, bodyWords);
    ASSERT_EQ(transact(h, body), Bytes{0x01});
    ASSERT_EQ(transact(h, {0x1D, 1}), Bytes{0x05});
    ASSERT_EQ(transact(h, {0x1C, 0, 0}), Bytes{0x01});
    const Bytes vectors = join({0x11, 0, 0}, counting(20, 0xE0));
    ASSERT_EQ(transact(h, vectors), Bytes{0x01});
    ASSERT_TRUE(powerOff(h));
    ASSERT_EQ((*status(h))[1] & 1, 0);
    setPins(h, {0, 0, 0, 2, 2, 0});
    reframe(h);

    // Firmware: 100 words; erase, write and verify from word 32, then the first block.
    const Bytes firmware = counting(200, 0x31);
    ASSERT_TRUE(setCounter(h, 64));
    for (int p = 32; p < 100; p += 32) send(h, command(6, {}));
    ASSERT_TRUE(setCounter(h, 64));
    for (size_t p = 32; p < 100;) {
        const size_t n = 100 - p >= 24 ? 24 : 100 - p >= 3 ? 3 : 1;
        send(h, command(n == 24 ? 5 : n == 3 ? 4 : 3, Bytes(firmware.begin() + 2 * p, firmware.begin() + 2 * (p + n))));
        p += n;
    }
    ASSERT_TRUE(setCounter(h, 64));
    for (size_t p = 32; p < 100; p += 14) {
        const Bytes got = read14(h);
        const size_t n = std::min<size_t>(14, 100 - p);
        ASSERT_EQ(Bytes(got.begin(), got.begin() + 2 * n), Bytes(firmware.begin() + 2 * p, firmware.begin() + 2 * (p + n)));
    }
    ASSERT_TRUE(setCounter(h, 0));
    send(h, command(6, {}));
    ASSERT_TRUE(setCounter(h, 0));
    for (size_t j = 0; j < 32; ++j) send(h, command(3, {firmware[2 * j], firmware[2 * j + 1]}));
    ASSERT_TRUE(setCounter(h, 0));
    EXPECT_EQ(Bytes(read14(h)), Bytes(firmware.begin(), firmware.begin() + 28));

    // Restart: pin 5 up switches it off; power on runs the new application.
    setPins(h, {0, 0, 0, 2, 2, 2});
    EXPECT_EQ((*status(h))[1] & 1, 0);
    ASSERT_TRUE(powerOn(h));
    reframe(h);
    EXPECT_EQ(transact(h, {0x0D}).value_or(Bytes{0}).at(0), 0x08);
    Bytes all;
    for (uint16_t a = 0; a < 200; a += 100) {
        const auto r = transact(h, {0x10, static_cast<uint8_t>(a), 0, 50, 0});
        ASSERT_TRUE(r);
        all = join(all, Bytes(r->begin() + 1, r->end()));
    }
    EXPECT_EQ(all, firmware);
    const auto bl = transact(h, {0x10, static_cast<uint8_t>(2 * s), static_cast<uint8_t>((2 * s) >> 8), 60, 0});
    ASSERT_TRUE(bl);
    EXPECT_EQ(Bytes(bl->begin() + 1, bl->end()), Bytes(bodyWords.begin(), bodyWords.begin() + 120));
}
