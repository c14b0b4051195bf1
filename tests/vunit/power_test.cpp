// Power sequencing and the boot model, checked against the host's flows.
#include "host.h"

#include <gtest/gtest.h>

using namespace hosttest;

namespace {

constexpr std::array<uint8_t, 6> kStep1 = {0, 0, 0, 2, 2, 0};
constexpr std::array<uint8_t, 6> kStep2 = {0, 0, 0, 2, 2, 2};

bool powered(Host& h) {
    const auto s = status(h);
    return s && ((*s)[1] & 1);
}

// The firmware-version check of the host's identification sequence.
bool answersVersion(Host& h) {
    reframe(h);
    const auto a = transact(h, {0x0D}, 0);
    return a && !a->empty() && (*a)[0] == 0x08;
}

// Steps 4-6 of the host's identification: the boot mode it concludes.
int bootMode(Host& h) {
    if (!powered(h)) {
        setPins(h, kStep1);
    }
    reframe(h);
    sendZeros49(h);
    return setCounter(h, 0) ? 1 : 0;
}

UnitPtr unitWithoutApplication(const vunit::Identity& id) {
    vunit::Storage s = vunit::blankStorage(id);
    s.applicationValid = false;
    return vunit::makeUnit(id, std::move(s), {});
}

// What the host's firmware loader sends to put the boot-loader's vectors in
// place (PIC18 block erase at 0, then the vector words at 0).
void installBootloaderVectors(Host& h) {
    ASSERT_EQ(transact(h, {0x1C, 0, 0}), Bytes{0x01});
    Bytes w = {0x11, 0, 0};
    for (int i = 0; i < 20; ++i) w.push_back(static_cast<uint8_t>(0x20 + i));
    ASSERT_EQ(transact(h, w), Bytes{0x01});
}

} // namespace

TEST(Power, StreamUnitIsSilentUntilPoweredOn) {
    auto u = makeUnit(streamIdentity());
    Host h = hostFor(*u);
    const auto s = status(h);
    ASSERT_TRUE(s);
    EXPECT_EQ(*s, (std::array<uint8_t, 4>{0, 0, 1, 3})); // off; interface firmware 1.3
    EXPECT_FALSE(transact(h, {0x0D}, 0));
    EXPECT_FALSE(transact(h, {0x0F}, 0)); // nobody there to power off

    setPins(h, kStep1); // supplied but held: still silent
    EXPECT_TRUE(powered(h));
    EXPECT_FALSE(answersVersion(h));
    EXPECT_FALSE(setCounter(h, 0));
    setPins(h, kStep2);
    EXPECT_TRUE(answersVersion(h));
    EXPECT_EQ((*status(h))[0] & 3, 2); // status byte 1: APPLICATION

    // Supply pins off: off at once, from any state.
    setPins(h, {0, 0, 0, 0, 2, 2});
    EXPECT_FALSE(powered(h));
    EXPECT_FALSE(answersVersion(h));
}

TEST(Power, PowerOffCommandAnswersThenSwitchesOff) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    ASSERT_EQ(transact(h, {0x0A}), Bytes{0x01}); // download mode, volatile
    EXPECT_EQ((*status(h))[0] & 4, 4);
    EXPECT_TRUE(powerOff(h));
    EXPECT_FALSE(powered(h));
    // The log-space worker: power off, later power on again.
    EXPECT_TRUE(powerOn(h));
    EXPECT_TRUE(answersVersion(h));
    EXPECT_EQ((*status(h))[0], 2); // download mode gone with the power
    // A second power-on of a running unit changes nothing.
    EXPECT_TRUE(powerOn(h));
    EXPECT_TRUE(answersVersion(h));
}

TEST(Power, IdentificationFindsApplicationOrBootLoader) {
    {
        auto u = makeUnit(streamIdentity());
        Host h = hostFor(*u);
        EXPECT_EQ(bootMode(h), 0); // held: the counter goes unanswered
        EXPECT_TRUE(powerOn(h));
        EXPECT_TRUE(answersVersion(h));
    }
    {
        Host h;
        auto u = poweredUnit(streamIdentity(), h);
        EXPECT_EQ(bootMode(h), 0); // the application ignores unframed bytes
        EXPECT_TRUE(answersVersion(h));
    }
    {
        auto u = unitWithoutApplication(streamIdentity(0x1087));
        Host h = hostFor(*u);
        EXPECT_EQ(bootMode(h), 1);
        const auto cpu = unframed(h, {7, 0, 0, 0, 0, 0, 0}, 7, 500, false);
        ASSERT_TRUE(cpu);
        EXPECT_EQ((*cpu)[0] | (*cpu)[1] << 8, 0x1087);
        EXPECT_FALSE(answersVersion(h));
        EXPECT_EQ((*status(h))[0] & 3, 3);
        // Pin 5 rising without a valid application: it stays in its boot-loader.
        setPins(h, kStep2);
        EXPECT_TRUE(powered(h));
        EXPECT_TRUE(setCounter(h, 0));
    }
}

TEST(Power, UnitWhoseVectorsWereReplacedStartsItsBootLoader) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x1087), h);
    installBootloaderVectors(h);
    EXPECT_TRUE(answersVersion(h)); // still running until restarted
    ASSERT_TRUE(powerOff(h));
    ASSERT_TRUE(powerOn(h)); // straight to pin 5 high: boot-loader all the same
    EXPECT_TRUE(powered(h));
    EXPECT_FALSE(answersVersion(h));
    EXPECT_TRUE(setCounter(h, 0));
}

TEST(Power, PicWith4550VectorsAtTopKeepsItsApplication) {
    Host h;
    auto u = poweredUnit(streamIdentity(0x1200), h);
    Bytes w = {0x11, 0xC0, 0x7F, 1, 2, 3, 4};
    ASSERT_EQ(transact(h, w), Bytes{0x01});
    ASSERT_TRUE(powerOff(h));
    ASSERT_TRUE(powerOn(h));
    EXPECT_TRUE(answersVersion(h));
}

TEST(Power, PacketUnitInterfaceAnswersWhileOff) {
    auto u = makeUnit(packetIdentity());
    Host h = hostFor(*u);
    EXPECT_EQ(head(transact(h, {0x22}), 2), (Bytes{0x01, 0x00}));
    EXPECT_FALSE(transact(h, {0x0D}, 0));
    EXPECT_FALSE(transact(h, {0x1D, 1}, 0));
    EXPECT_EQ(head(transact(h, {0x1D, 4}), 1), Bytes{0x01});
    EXPECT_TRUE(powered(h));
    EXPECT_TRUE(answersVersion(h));
    EXPECT_EQ(head(transact(h, {0x0F}), 1), Bytes{0x01});
    EXPECT_FALSE(powered(h));
    EXPECT_FALSE(transact(h, {0x0D}, 0));
    EXPECT_EQ(head(transact(h, {0x0F}), 1), Bytes{0x01}); // off already: still answered

    // Set-pins and unframed requests do not exist on packet units.
    EXPECT_EQ(vunit::writeReport(*u, Bytes(321, 0).data(), 321), 0);
}

TEST(Power, PacketUnitWithoutApplicationStaysSilent) {
    auto u = unitWithoutApplication(packetIdentity());
    Host h = hostFor(*u);
    EXPECT_EQ(head(transact(h, {0x1D, 4}), 1), Bytes{0x01});
    const auto s = transact(h, {0x22});
    ASSERT_TRUE(s);
    EXPECT_EQ((*s)[1] & 1, 1);
    EXPECT_EQ((*s)[1] >> 1 & 3, 3); // boot-loader
    EXPECT_FALSE(transact(h, {0x0D}, 0));
}
