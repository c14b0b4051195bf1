// The response queue of a unit, filled the way its receive thread does.
#include "link/transport.h"
#include "link/unit_table.h"
#include "zelusb.h"

#include <gtest/gtest.h>

#include <thread>

using namespace zel;

namespace {

// Unit 24 is never opened by these tests; its queue is ours.
constexpr int kUnit = 24;

void drain() {
    int n, q;
    while (ZELGetFirstAvailableResponse(kUnit, &n, &q)) {
    }
}

TEST(ResponseQueue, FiftyArrivalsKeepTheNewestFortyNine) {
    drain();
    for (int i = 0; i < 50; ++i) {
        const uint8_t b = static_cast<uint8_t>(i);
        queueMessage(g_units[kUnit], &b, 1);
    }
    int length = 0, queued = 0;
    unsigned char* first = ZELGetFirstAvailableResponse(kUnit, &length, &queued);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(queued, 49);
    EXPECT_EQ(length, 1);
    EXPECT_EQ(first[0], 1); // message 0 was pushed out
    int taken = 1;
    while (ZELGetFirstAvailableResponse(kUnit, &length, &queued)) ++taken;
    EXPECT_EQ(taken, 49);
    EXPECT_EQ(ZELGetFirstAvailableResponse(kUnit, &length, &queued), nullptr);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(queued, 0);
}

TEST(ResponseQueue, ReceiveCutsToTheBufferAndTimesOutWithTheErrorWord) {
    drain();
    const uint8_t m[5] = {6, 1, 2, 3, 4};
    queueMessage(g_units[kUnit], m, 5);
    uint8_t buffer[3] = {};
    size_t length = sizeof buffer;
    ASSERT_TRUE(receiveResponse(kUnit, buffer, &length, 0));
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(buffer[2], 2);

    g_units[kUnit].errorDetail = 77;
    length = sizeof buffer;
    EXPECT_FALSE(receiveResponse(kUnit, buffer, &length, 0)); // one check, even with time-out 0
    EXPECT_EQ(g_units[kUnit].errorCode.load(), 0x2000u);
    EXPECT_EQ(g_units[kUnit].errorDetail.load(), 77u); // detail unchanged
}

TEST(ResponseQueue, WaitWakesOnArrivalInBothModes) {
    for (bool polling : {false, true}) {
        drain();
        setPollingReceive(polling);
        std::thread producer([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            const uint8_t b = 42;
            queueMessage(g_units[kUnit], &b, 1);
        });
        uint8_t got = 0;
        size_t length = 1;
        EXPECT_TRUE(receiveResponse(kUnit, &got, &length, 5000));
        EXPECT_EQ(got, 42);
        producer.join();
    }
    setPollingReceive(false);
}

TEST(ResponseQueue, EmptyMessageIsAResponseOfLengthZero) {
    drain();
    queueMessage(g_units[kUnit], nullptr, 0);
    uint8_t b = 0x5A;
    size_t length = 1;
    EXPECT_TRUE(receiveResponse(kUnit, &b, &length, 0));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(b, 0x5A);
}

} // namespace
