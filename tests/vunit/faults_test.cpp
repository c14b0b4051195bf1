// Each armed fault, once.
#include "host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

using namespace hosttest;

TEST(Faults, SpecSyntax) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    EXPECT_TRUE(vunit::armFault(*u, "late-response:10, wrong-code garbage:2"));
    EXPECT_TRUE(vunit::armFault(*u, "unplug-after:1000"));
    EXPECT_FALSE(vunit::armFault(*u, "unplug-after"));
    EXPECT_FALSE(vunit::armFault(*u, "late-response:0"));
    EXPECT_FALSE(vunit::armFault(*u, "late-response:x"));
    EXPECT_FALSE(vunit::armFault(*u, "drop-response,explode"));
    EXPECT_FALSE(vunit::armFault(*u, ""));
}

TEST(Faults, DropAndWrongCodeFireOnceEach) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    ASSERT_TRUE(vunit::armFault(*u, "drop-response"));
    EXPECT_FALSE(transact(h, {0x0A}, 0));
    EXPECT_EQ((*status(h))[0] & 4, 4); // the command ran all the same
    ASSERT_TRUE(vunit::armFault(*u, "drop-response"));
    EXPECT_FALSE(status(h, 0)); // a status report is an answer too
    ASSERT_TRUE(vunit::armFault(*u, "wrong-code"));
    EXPECT_TRUE(status(h)); // but not a response message
    EXPECT_EQ(transact(h, {0x09, 0, 2}), (Bytes{0xEE, 0xFF, 0xFF}));
    EXPECT_EQ(transact(h, {0x09, 0, 2}), (Bytes{0x07, 0xFF, 0xFF}));
}

TEST(Faults, LateResponseArrivesAfterTheWait) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    ASSERT_TRUE(vunit::armFault(*u, "late-response:300"));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(transact(h, {0x0D}, 20));
    const auto a = receive(h, 5000);
    ASSERT_TRUE(a);
    EXPECT_EQ((*a)[0], 0x08);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    // The next answer queues behind it but is not late itself.
    EXPECT_EQ(transact(h, {0x0B}, 200), Bytes{0x01});
}

TEST(Faults, ShortReadCutsTheNextReadAnswer) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    ASSERT_TRUE(vunit::armFault(*u, "short-read:10"));
    EXPECT_EQ(transact(h, {0x0D}).value_or(Bytes{}).size(), 6u); // not a read
    EXPECT_EQ(transact(h, readMemoryRequest(0, 100)).value_or(Bytes{}).size(), 11u);
    EXPECT_EQ(transact(h, readMemoryRequest(0, 100)).value_or(Bytes{}).size(), 101u);
    ASSERT_TRUE(vunit::armFault(*u, "short-read"));
    EXPECT_EQ(transact(h, {0x09, 0, 9}).value_or(Bytes{}).size(), 5u);
    ASSERT_TRUE(vunit::armFault(*u, "short-read:1"));
    EXPECT_EQ(transact(h, {0x10, 0, 0, 4, 0}).value_or(Bytes{}).size(), 2u);
}

TEST(Faults, GarbagePrecedesTheNextAnswer) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    ASSERT_TRUE(vunit::armFault(*u, "garbage:2"));
    h.unframed = true; // take every report as it comes
    control(h, 1);
    EXPECT_TRUE(receive(h, 500));
    EXPECT_TRUE(receive(h, 500));
    h.unframed = false;
    EXPECT_EQ(h.seen.size(), 2u);
    EXPECT_EQ(h.seen[0][0], 0x01);
    EXPECT_EQ(h.statusReports.size(), 0u);
    EXPECT_FALSE(silent(h)); // the status report is still to come
    EXPECT_EQ(h.statusReports.size(), 1u);

    Host p;
    auto pu = poweredUnit(packetIdentity(), p);
    ASSERT_TRUE(vunit::armFault(*pu, "garbage"));
    const auto first = transact(p, {0x0D});
    ASSERT_TRUE(first);
    EXPECT_EQ(p.seen.back()[0], 0xC9);
    EXPECT_TRUE(receive(p, 500));
    EXPECT_TRUE(receive(p, 500));
    EXPECT_EQ(head(receive(p, 500), 1), Bytes{0x08});
}

TEST(Faults, UnplugAfterCountsReportsBothWays) {
    Host h;
    auto u = poweredUnit(streamIdentity(), h);
    ASSERT_TRUE(vunit::armFault(*u, "unplug-after:3"));
    ASSERT_TRUE(transact(h, {0x0B})); // out 1, in 2
    EXPECT_TRUE(vunit::isPlugged(*u));
    Bytes r = streamBuffers({0x0D}, false)[0];
    EXPECT_EQ(vunit::writeReport(*u, r.data(), r.size()), 321); // the third crosses...
    EXPECT_FALSE(vunit::isPlugged(*u));                          // ...and is the last
    EXPECT_EQ(vunit::writeReport(*u, r.data(), r.size()), -1);
    uint8_t buf[8];
    EXPECT_EQ(vunit::readReport(*u, buf, sizeof buf, 100), -1);
}

namespace {

struct Saved {
    int calls = 0;
    vunit::Storage last;
};

vunit::UnitOptions saving(Saved& saved) {
    vunit::UnitOptions o;
    o.persist = [&saved](vunit::Storage& s) {
        ++saved.calls;
        saved.last = s;
    };
    return o;
}

} // namespace

TEST(Faults, PowerCutDuringProgramLeavesATornPageAndTheUnitGone) {
    Saved saved;
    const vunit::Identity id = streamIdentity();
    Host h;
    auto u = poweredUnit(id, h, saving(saved));
    ASSERT_TRUE(vunit::armFault(*u, "power-cut-program:2"));
    ASSERT_EQ(transact(h, writeMemoryRequest(0x100, Bytes(16, 0x11))), Bytes{0x01});
    EXPECT_EQ(saved.calls, 1);
    const Bytes data(200, 0x00);
    EXPECT_FALSE(transact(h, writeMemoryRequest(0x200, data), 0));
    EXPECT_FALSE(vunit::isPlugged(*u));
    ASSERT_EQ(saved.calls, 2);
    const auto& sector = saved.last.sectors[0];
    size_t done = 0;
    while (done < 200 && sector[0x200 + done] == 0x00) ++done;
    EXPECT_LT(done, 200u);
    for (size_t i = done + 1; i < 200; ++i) ASSERT_EQ(sector[0x200 + i], 0xFF) << i;
    EXPECT_TRUE(saved.last.dirtySectors[0]);

    // Made again from what the flash holds, the unit shows the same bytes.
    auto again = vunit::makeUnit(id, saved.last, {});
    Host h2 = hostFor(*again);
    powerOn(h2);
    reframe(h2);
    const auto a = transact(h2, readMemoryRequest(0x200, 200));
    ASSERT_TRUE(a);
    EXPECT_EQ(Bytes(a->begin() + 1, a->end()), Bytes(sector.begin() + 0x200, sector.begin() + 0x200 + 200));
}

TEST(Faults, PowerCutCountsProgramsAndErasesAlike) {
    Saved saved;
    Host h;
    auto u = poweredUnit(streamIdentity(), h, saving(saved));
    ASSERT_TRUE(vunit::armFault(*u, "power-cut:3, power-cut-erase:5"));
    ASSERT_EQ(transact(h, writeMemoryRequest(0x100, Bytes(16, 0x11))), Bytes{0x01}); // 1
    ASSERT_EQ(transact(h, addressRequest(0x13, 0x10000)), Bytes{0x01});             // 2
    EXPECT_TRUE(vunit::isPlugged(*u));
    EXPECT_FALSE(transact(h, addressRequest(0x13, 0x20000), 0)); // 3: cut
    EXPECT_FALSE(vunit::isPlugged(*u));
    EXPECT_FALSE(vunit::armFault(*u, "power-cut"));
}

TEST(Faults, PowerOffLeavesTheOperationUndone) {
    Saved saved;
    Host h;
    auto u = poweredUnit(streamIdentity(), h, saving(saved));
    ASSERT_TRUE(vunit::armFault(*u, "power-off:2"));
    ASSERT_EQ(transact(h, writeMemoryRequest(0x100, Bytes(16, 0x11))), Bytes{0x01});
    EXPECT_FALSE(transact(h, writeMemoryRequest(0x200, Bytes(200, 0x00)), 0));
    EXPECT_FALSE(vunit::isPlugged(*u));
    const auto& sector = saved.last.sectors[0];
    EXPECT_EQ(sector[0x100], 0x11);
    EXPECT_TRUE(std::all_of(sector.begin() + 0x200, sector.begin() + 0x2C8, [](uint8_t b) { return b == 0xFF; }));
}

TEST(Faults, PowerCutDuringEraseIsRepeatableFromTheSeed) {
    auto run = [](uint32_t seed) {
        Saved saved;
        vunit::Identity id = streamIdentity();
        id.seed = seed;
        vunit::Storage s = vunit::blankStorage(id);
        std::fill(s.sectors[1].begin(), s.sectors[1].end(), 0x00);
        auto u = vunit::makeUnit(id, std::move(s), saving(saved));
        Host h = hostFor(*u);
        powerOn(h);
        reframe(h);
        vunit::armFault(*u, "power-cut-erase:1");
        EXPECT_FALSE(transact(h, addressRequest(0x13, 0x10000), 0));
        EXPECT_FALSE(vunit::isPlugged(*u));
        return saved.last.sectors[1];
    };
    const auto a = run(7), b = run(7), c = run(8);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(a.front(), 0xFF); // part erased...
    EXPECT_EQ(a.back(), 0x00);  // ...part not
}

TEST(Faults, PowerCutDuringBootLoaderWrite) {
    Saved saved;
    const vunit::Identity id = streamIdentity(0x1087);
    vunit::Storage s = vunit::blankStorage(id);
    s.applicationValid = false;
    auto u = vunit::makeUnit(id, std::move(s), saving(saved));
    Host h = hostFor(*u);
    setPins(h, {0, 0, 0, 2, 2, 0});
    ASSERT_TRUE(setCounter(h, 0));
    vunit::armFault(*u, "power-cut-program:1");
    Bytes request(49);
    for (size_t i = 0; i < request.size(); ++i) request[i] = static_cast<uint8_t>(i);
    request[0] = 5;
    unframed(h, request, 0, 0, true);
    EXPECT_FALSE(vunit::isPlugged(*u));
    ASSERT_EQ(saved.calls, 1);
    EXPECT_FALSE(saved.last.applicationValid); // a torn first block starts nothing
    const Bytes flash(saved.last.programFlash.begin(), saved.last.programFlash.begin() + 48);
    EXPECT_NE(flash, Bytes(request.begin() + 1, request.end()));
    EXPECT_EQ(flash[47], 0xFF);
}
