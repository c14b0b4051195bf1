// Both wire framings, as the host frames and deframes them.
#include "host.h"

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

// Reads [address, address + n) back in 200-byte chunks.
Bytes readBack(Host& h, uint32_t address, size_t n) {
    Bytes out;
    while (out.size() < n) {
        const uint16_t chunk = static_cast<uint16_t>(std::min<size_t>(200, n - out.size()));
        const auto a = transact(h, readMemoryRequest(address + static_cast<uint32_t>(out.size()), chunk));
        if (!a || a->size() != chunk + 1u || (*a)[0] != 6) return {};
        out = join(out, Bytes(a->begin() + 1, a->end()));
    }
    return out;
}

} // namespace

TEST(StreamFraming, VersionRequestIsOneShortReportAndItsAnswerDecodes) {
    const auto buffers = streamBuffers({0x0D}, false);
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(Bytes(buffers[0].begin(), buffers[0].begin() + 8), (Bytes{0x10, 0x02, 0x0D, 0x04, 0, 0, 0, 0x03}));

    Host h;
    auto u = poweredUnit(streamIdentity(0x1087, 18), h);
    const auto a = transact(h, {0x0D});
    ASSERT_TRUE(a);
    EXPECT_EQ(*a, (Bytes{0x08, 1, 29, 18, 0x87, 0x10}));
    // STX 08 01 1D 12 87 DLE|A0 ... : 0x10 in the CPU id is stuffed on the wire.
    ASSERT_EQ(h.seen.size(), 2u);
    EXPECT_EQ(h.seen[0], (Bytes{0x01, 0x02, 0x08, 0x01, 0x1D, 0x12, 0x87, 0x10}));
    EXPECT_EQ(h.seen[1], (Bytes{0x01, 0xB0, 0x03, 0x04, 0x04, 0x04, 0x04, 0x04}));
}

TEST(StreamFraming, LongMessagesWithEscapesSplitAcrossReports) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    // Message byte 318 lands at buffer byte 320: its escape pair is split.
    Bytes data = pattern(400, 0x41);
    for (uint8_t& b : data)
        if (b < 0x11) b = 0x55;
    data[313] = 0x03;
    data[350] = 0x02;
    data[399] = 0x10;
    const Bytes request = writeMemoryRequest(0x10000 - 100, data);
    const auto buffers = streamBuffers(request, false);
    ASSERT_GE(buffers.size(), 2u);
    ASSERT_EQ(buffers[0][320], 0x10); // the premise: DLE closes the first report
    const auto a = transact(h, request);
    ASSERT_TRUE(a);
    EXPECT_EQ(*a, Bytes{0x01});
    EXPECT_EQ(readBack(h, 0x10000 - 100, data.size()), data);

    // 300 bytes, stuffed bytes everywhere, on a host with the NT flag.
    h.nt = true;
    Bytes specials = pattern(300, 0);
    for (size_t i = 0; i < specials.size(); i += 3) specials[i] = static_cast<uint8_t>(i % 2 ? 0x10 : 0x04);
    ASSERT_EQ(transact(h, writeMemoryRequest(0x20000, specials)), Bytes{0x01});
    EXPECT_EQ(readBack(h, 0x20000, specials.size()), specials);
}

TEST(StreamFraming, StuffedFormOfExactly319BytesEndsInAnEotOnlyReport) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    Bytes data = pattern(314, 0x20);
    for (uint8_t& b : data)
        if (b < 0x11) b = 0x77;
    const Bytes request = writeMemoryRequest(0x50000, data); // 319 bytes, nothing stuffed
    const auto buffers = streamBuffers(request, false);
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0][0], 0x13);
    EXPECT_EQ(Bytes(buffers[1].begin(), buffers[1].begin() + 8), (Bytes{0x10, 0x04, 0, 0, 0, 0, 0, 0x03}));
    ASSERT_EQ(transact(h, request), Bytes{0x01});
    EXPECT_EQ(readBack(h, 0x50000, data.size()), data);
}

TEST(StreamFraming, ReframeAndStxDropAPartialMessage) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    const Bytes partial = streamBuffers(writeMemoryRequest(0x40000, Bytes(400, 0x00)), false)[0];
    ASSERT_EQ(vunit::writeReport(*u, partial.data(), partial.size()), 321);
    reframe(h);
    // The ETX of this report would have finished the 0x14 message.
    const Bytes closing = {0x10, 0x00, 0x00, 0x04, 0, 0, 0, 0x03};
    Bytes buffer(321, 0);
    std::copy(closing.begin(), closing.end(), buffer.begin());
    vunit::writeReport(*u, buffer.data(), buffer.size());
    EXPECT_TRUE(silent(h));
    ASSERT_EQ(readBack(h, 0x40000, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));

    // Without a reframe, the next STX starts over.
    vunit::writeReport(*u, partial.data(), partial.size());
    const auto a = transact(h, {0x0D});
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[0], 0x08);
    EXPECT_TRUE(silent(h));
    EXPECT_EQ(readBack(h, 0x40000, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(StreamFraming, EmptyFrameIsIgnoredAndOverlongMessageRefused) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    Bytes etx(321, 0x03); // the host's "send ETX"
    etx[0] = 0x10;
    etx[1] = 0x02;
    vunit::writeReport(*u, etx.data(), etx.size());
    EXPECT_TRUE(silent(h));
    EXPECT_EQ(transact(h, writeMemoryRequest(0, Bytes(4200, 0x5A))), Bytes{0x00});
    EXPECT_EQ(readBack(h, 0, 2), (Bytes{0xFF, 0xFF}));
}

TEST(StreamFraming, DriverRefusesWrongBufferSizesAndIds) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    const Bytes shortBuffer = {0x10, 0x02, 0x0D, 0x04, 0, 0, 0, 0x03};
    EXPECT_EQ(vunit::writeReport(*u, shortBuffer.data(), shortBuffer.size()), 0);
    Bytes packet = packetBuffer({0x0D});
    packet.resize(321, 0);
    EXPECT_EQ(vunit::writeReport(*u, packet.data(), packet.size()), 0);
    EXPECT_TRUE(silent(h));
}

TEST(StreamFraming, UnreadInputKeepsTheNewest200Reports) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    Bytes values(250);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(i ^ 0x5A);
    ASSERT_EQ(transact(h, join({0x08, 0}, values)), Bytes{0x01});
    for (int i = 0; i < 201; ++i) sendMessage(h, {0x09, static_cast<uint8_t>(i), 1});
    for (int i = 1; i < 201; ++i) // one report per answer; the first is lost
        ASSERT_EQ(receive(h, 0), (Bytes{0x07, values[static_cast<size_t>(i)]})) << i;
    EXPECT_TRUE(silent(h));
}

TEST(PacketFraming, ReportSizesFollowTheMessageLength) {
    Host h;
    auto u = poweredUnit(packetIdentity(), h);
    EXPECT_EQ(packetBuffer(Bytes(12, 1))[0], 0x65);
    EXPECT_EQ(packetBuffer(Bytes(13, 1))[0], 0x66);
    EXPECT_TRUE(packetBuffer(Bytes(268, 1)).empty());

    // 13-byte request (0x66); 14 data bytes answered in 0xC9, 15 in 0xCA.
    Bytes eeprom(11, 0xA5);
    const Bytes write = join({0x08, 0x10}, eeprom);
    ASSERT_EQ(head(transact(h, write), 1), Bytes{0x01});
    auto a = transact(h, {0x09, 0x10, 14});
    ASSERT_TRUE(a);
    EXPECT_EQ(h.seen.back()[0], 0xC9);
    EXPECT_EQ(h.seen.back().size(), 16u);
    EXPECT_EQ(Bytes(a->begin() + 1, a->begin() + 12), eeprom);
    a = transact(h, {0x09, 0x10, 15});
    EXPECT_EQ(h.seen.back()[0], 0xCA);
    EXPECT_EQ(h.seen.back().size(), 261u);
}

TEST(PacketFraming, LargestReadFillsOneBigReport) {
    Host h;
    auto u = poweredUnit(packetIdentity(0x1087, 18), h);
    Bytes data(262);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(head(transact(h, writeMemoryRequest(4000, data)), 1), Bytes{0x01});

    const auto a = transact(h, readMemoryRequest(100, 4075));
    ASSERT_TRUE(a);
    EXPECT_EQ(h.seen.back()[0], 0xCB);
    EXPECT_EQ(h.seen.back().size(), 4081u);
    ASSERT_EQ(a->size(), 4080u); // an 0xCB report always carries 4080 bytes
    EXPECT_EQ((*a)[0], 0x06);
    EXPECT_EQ(Bytes(a->begin() + 1 + 3900, a->begin() + 1 + 3900 + 175), Bytes(data.begin(), data.begin() + 175));
    // Never more than asked: the bytes after the 4075th are padding, not flash.
    EXPECT_EQ(Bytes(a->begin() + 4076, a->end()), Bytes(4, 0));
}

TEST(PacketFraming, MalformedLengthsAreRefused) {
    Host h;
    auto u = poweredUnit(packetIdentity(), h);
    Bytes r(271, 0);
    r[0] = 0x65;
    r[1] = 13; // does not fit a 0x65 report
    r[3] = 0x0D;
    vunit::writeReport(*u, r.data(), r.size());
    EXPECT_EQ(head(receive(h, 1000), 2), (Bytes{0x00, 0x00}));
    r[1] = 0; // empty
    vunit::writeReport(*u, r.data(), r.size());
    EXPECT_EQ(head(receive(h, 1000), 1), Bytes{0x00});
    EXPECT_EQ(head(transact(h, {0x0D, 0x00}), 1), Bytes{0x00});
    EXPECT_EQ(head(transact(h, {0x77}), 1), Bytes{0x00});
}
