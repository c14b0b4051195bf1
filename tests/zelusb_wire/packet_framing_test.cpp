#include "link/packet_framing.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zel;

TEST(PacketSender, ReportChoiceAndLength) {
    std::vector<uint8_t> report(kPacketReportBuffer);
    std::vector<uint8_t> m(12, 0xAB);
    ASSERT_TRUE(buildPacketReport(m.data(), m.size(), report.data()));
    EXPECT_EQ(report[0], 0x65);
    EXPECT_EQ(report[1], 12);
    EXPECT_EQ(report[2], 0);
    EXPECT_EQ(report[14], 0xAB);
    EXPECT_EQ(report[15], 0);

    m.assign(13, 0xCD);
    ASSERT_TRUE(buildPacketReport(m.data(), m.size(), report.data()));
    EXPECT_EQ(report[0], 0x66);
    EXPECT_EQ(report[1], 13);

    m.assign(267, 0x01);
    ASSERT_TRUE(buildPacketReport(m.data(), m.size(), report.data()));
    EXPECT_EQ(report[1], 0x0B);
    EXPECT_EQ(report[2], 0x01);
    EXPECT_EQ(report[269], 0x01);

    m.assign(268, 0x01);
    report.assign(kPacketReportBuffer, 0x77);
    EXPECT_FALSE(buildPacketReport(m.data(), m.size(), report.data()));
    EXPECT_EQ(report[0], 0x77); // nothing built
}
