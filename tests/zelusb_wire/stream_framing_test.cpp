// Stream-unit framing on the exact bytes a unit sees and sends.
#include "link/stream_framing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace zel;

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> frame(const Bytes& message, bool nt = false) {
    std::vector<Bytes> reports;
    EXPECT_TRUE(sendStreamMessage(message.data(), message.size(), nt, [&](const uint8_t* r) {
        reports.emplace_back(r, r + kReportBuffer);
        return true;
    }));
    return reports;
}

struct Decoded {
    std::vector<Bytes> messages;
    std::vector<Bytes> statuses;
};

Decoded decode(const std::vector<Bytes>& reports, bool unframed = false) {
    Decoded out;
    StreamDecoder d;
    StreamEvents ev;
    ev.message = [&](const uint8_t* p, size_t n) { out.messages.emplace_back(p, p + n); };
    ev.status = [&](const uint8_t* r) { out.statuses.emplace_back(r, r + 8); };
    for (const Bytes& r : reports) feedStreamReport(d, r.data(), unframed, ev);
    return out;
}

TEST(StreamSender, VersionRequestIsOneEightByteReport) {
    const auto reports = frame({0x0D});
    ASSERT_EQ(reports.size(), 1u);
    const Bytes expected = {0x10, 0x02, 0x0D, 0x04, 0x00, 0x00, 0x00, 0x03};
    EXPECT_EQ(Bytes(reports[0].begin(), reports[0].begin() + 8), expected);
    for (size_t i = 8; i < kReportBuffer; ++i) ASSERT_EQ(reports[0][i], 0) << i;
}

TEST(StreamSender, NtFamilyAlwaysUsesTheLargestReport) {
    const auto reports = frame({0x0D}, true);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0][0], 0x13);
    EXPECT_EQ(reports[0][3], 0x04);
    EXPECT_EQ(reports[0][320], 0x03);
}

TEST(StreamSender, ControlBytesAreStuffed) {
    const auto reports = frame({0x10, 0x02, 0x03, 0x04, 0x05});
    ASSERT_EQ(reports.size(), 1u);
    const Bytes expected = {0x11, 0x02, 0x10, 0xB0, 0x10, 0xA2, 0x10, 0xA3, 0x10, 0xA4, 0x05, 0x04, 0, 0, 0, 0x03};
    EXPECT_EQ(Bytes(reports[0].begin(), reports[0].begin() + 16), expected);
}

TEST(StreamSender, ReportSizeFollowsTheFillPosition) {
    // pos = 2 + stuffed length; 5 bytes -> pos 7 -> 8-byte report; 6 -> 16.
    EXPECT_EQ(frame(Bytes(5, 0x41))[0][0], 0x10);
    EXPECT_EQ(frame(Bytes(6, 0x41))[0][0], 0x11);
    EXPECT_EQ(frame(Bytes(13, 0x41))[0][0], 0x11);
    EXPECT_EQ(frame(Bytes(14, 0x41))[0][0], 0x12);
    EXPECT_EQ(frame(Bytes(125, 0x41))[0][0], 0x12);
    EXPECT_EQ(frame(Bytes(126, 0x41))[0][0], 0x13);
}

TEST(StreamSender, ExactlyFullFirstReportLeavesEotForTheNext) {
    // 319 stuffed bytes after STX fill the first report to its last byte.
    const auto reports = frame(Bytes(319, 0x41));
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0][0], 0x13);
    EXPECT_EQ(reports[0][1], 0x02);
    EXPECT_EQ(reports[0][320], 0x41);
    EXPECT_EQ(reports[1][0], 0x10);
    EXPECT_EQ(reports[1][1], 0x04);
    EXPECT_EQ(reports[1][7], 0x03);
}

TEST(StreamSender, EscapePairMaySplitAcrossReports) {
    Bytes m(318, 0x41);
    m.push_back(0x10); // its DLE lands on the last byte of the first report
    const auto reports = frame(m);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0][320], 0x10);
    EXPECT_EQ(reports[1][1], 0xB0);
}

TEST(StreamSender, StopsAtTheFirstFailedSend) {
    int sends = 0;
    EXPECT_FALSE(sendStreamMessage(Bytes(700, 1).data(), 700, false, [&](const uint8_t*) {
        ++sends;
        return false;
    }));
    EXPECT_EQ(sends, 1);
}

Bytes inReport(std::initializer_list<int> bytes) {
    Bytes r(8, 0x04);
    r[0] = 1;
    size_t i = 1;
    for (int b : bytes) r[i++] = static_cast<uint8_t>(b);
    return r;
}

TEST(StreamReceiver, DecodesEscapesAndDropsEot) {
    const auto d = decode({inReport({0x02, 0x08, 0x10, 0xA3, 0x04, 0x55, 0x03})});
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0], (Bytes{0x08, 0x03, 0x55}));
}

TEST(StreamReceiver, EscapePairSplitAcrossReportsAndLongMessages) {
    // Sender and receiver agree on a 1000-byte message full of control bytes.
    Bytes m;
    for (int i = 0; i < 1000; ++i) m.push_back(static_cast<uint8_t>(i % 7 == 0 ? 0x10 : i & 0xFF));
    Bytes stream;
    for (const Bytes& r : frame(m)) {
        const size_t size = r[0] == 0x10 ? 8 : r[0] == 0x11 ? 16 : r[0] == 0x12 ? 128 : 321;
        stream.insert(stream.end(), r.begin() + 1, r.begin() + static_cast<long>(size));
    }
    // A unit pads with EOT where the host pads with zeros.
    const auto eot = std::find(stream.rbegin(), stream.rend(), EOT);
    std::fill(stream.rbegin() + 1, eot, EOT);
    std::vector<Bytes> reports;
    for (size_t i = 0; i < stream.size(); i += 7) {
        Bytes r(8, 0);
        r[0] = 1;
        for (size_t k = 0; k < 7 && i + k < stream.size(); ++k) r[1 + k] = stream[i + k];
        reports.push_back(r);
    }
    const auto d = decode(reports);
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0], m);
}

TEST(StreamReceiver, StatusReportsAndUnframedMode) {
    Bytes status = {2, 9, 1, 1, 3, 0, 0, 0};
    const auto d = decode({status, inReport({1, 2, 3, 4, 5, 6, 7})}, true);
    ASSERT_EQ(d.statuses.size(), 1u);
    EXPECT_EQ(d.statuses[0], status);
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0], (Bytes{1, 2, 3, 4, 5, 6, 7}));
}

TEST(StreamReceiver, NextMessageMayStartInTheSameReport) {
    const auto d = decode({inReport({0x02, 0x01, 0x03, 0x02, 0x06, 0x07, 0x03})});
    ASSERT_EQ(d.messages.size(), 2u);
    EXPECT_EQ(d.messages[0], Bytes{0x01});
    EXPECT_EQ(d.messages[1], (Bytes{0x06, 0x07}));
}

TEST(StreamReceiver, OverlongMessageIsDroppedNotOverrun) {
    std::vector<Bytes> reports = {inReport({0x02, 1, 1, 1, 1, 1, 1})};
    for (size_t i = 0; i < kSlotSize / 7 + 2; ++i) reports.push_back(inReport({1, 1, 1, 1, 1, 1, 1}));
    reports.push_back(inReport({0x03}));
    reports.push_back(inReport({0x02, 0x09, 0x03}));
    const auto d = decode(reports);
    ASSERT_EQ(d.messages.size(), 1u);
    EXPECT_EQ(d.messages[0], Bytes{0x09});
}

} // namespace
