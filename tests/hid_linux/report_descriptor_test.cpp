// Output report lengths read from hand-built report descriptors.
#include "descriptors.h"
#include "linux_report_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using zelhid::hidraw::bytesToSend;
using zelhid::hidraw::OutputReportSizes;
using zelhid::hidraw::parseOutputReportSizes;

std::optional<OutputReportSizes> parse(const std::vector<uint8_t>& d) {
    return parseOutputReportSizes(d.data(), d.size());
}

TEST(ReportDescriptor, StreamUnitOutputsHaveTheirLengthsAndInputsNone) {
    const auto sizes = parse(bexo_test::streamUnitDescriptor());
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->bytes[0x10], 8);
    EXPECT_EQ(sizes->bytes[0x11], 16);
    EXPECT_EQ(sizes->bytes[0x12], 128);
    EXPECT_EQ(sizes->bytes[0x13], 321);
    EXPECT_EQ(sizes->bytes[0x20], 321);
    EXPECT_EQ(sizes->bytes[0x01], 0);
    EXPECT_EQ(sizes->bytes[0x02], 0);
    EXPECT_EQ(sizes->bytes[0x00], 0);
}

TEST(ReportDescriptor, PacketUnitIgnoresInputAndFeatureReports) {
    const auto sizes = parse(bexo_test::packetUnitDescriptor());
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->bytes[0x65], 15);
    EXPECT_EQ(sizes->bytes[0x66], 270);
    EXPECT_EQ(sizes->bytes[0xC9], 0);
    EXPECT_EQ(sizes->bytes[0xCB], 0);
    EXPECT_EQ(sizes->bytes[0x30], 0);
}

TEST(ReportDescriptor, FieldsOfOneReportAddUpInBitsAndRoundUp) {
    const auto sizes = parse({
        0x85, 0x05,             // Report ID 5
        0x75, 0x01, 0x95, 0x03, 0x91, 0x02, // 3 bits
        0x75, 0x05, 0x95, 0x01, 0x91, 0x03, // 5 bits of padding
        0x85, 0x06,             // Report ID 6
        0x75, 0x01, 0x95, 0x09, 0x91, 0x02, // 9 bits: two bytes
        0x85, 0x05,             // back to 5, in a second collection
        0x75, 0x10, 0x95, 0x02, 0x91, 0x02, // 32 bits more
    });
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->bytes[5], 1 + 1 + 4);
    EXPECT_EQ(sizes->bytes[6], 1 + 2);
}

TEST(ReportDescriptor, PushAndPopRestoreSizeCountAndId) {
    const auto sizes = parse({
        0x85, 0x07, 0x75, 0x08, 0x95, 0x04, // id 7, 4 bytes
        0xA4,                               // Push
        0x85, 0x08, 0x95, 0x02, 0x91, 0x02, // id 8: 2 bytes
        0xB4,                               // Pop
        0x91, 0x02,                         // id 7 again: 4 bytes
    });
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->bytes[7], 5);
    EXPECT_EQ(sizes->bytes[8], 3);
}

TEST(ReportDescriptor, FourByteAndLongItemsAreReadAndSkipped) {
    const auto sizes = parse({
        0x85, 0x09, 0x75, 0x08,
        0xFE, 0x02, 0x10, 0xAA, 0xBB,       // long item with 2 data bytes
        0x97, 0x03, 0x00, 0x00, 0x00,       // Report Count 3, in four bytes
        0x91, 0x02,
    });
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->bytes[9], 4);
}

TEST(ReportDescriptor, WithoutReportIdsEverythingIsReportZero) {
    const auto sizes = parse({0x75, 0x08, 0x95, 0x40, 0x91, 0x02});
    ASSERT_TRUE(sizes);
    EXPECT_EQ(sizes->bytes[0], 65);
}

TEST(ReportDescriptor, HugeSizesSaturateInsteadOfWrapping) {
    const auto sizes = parse({
        0x85, 0x0A,
        0x77, 0xFF, 0xFF, 0xFF, 0xFF, // Report Size 2^32-1
        0x97, 0xFF, 0xFF, 0xFF, 0xFF, // Report Count 2^32-1
        0x91, 0x02, 0x91, 0x02,
    });
    ASSERT_TRUE(sizes);
    EXPECT_GE(sizes->bytes[0x0A], 4096);
}

TEST(ReportDescriptor, MalformedDescriptorsAreRefused) {
    EXPECT_FALSE(parseOutputReportSizes(nullptr, 0));
    EXPECT_FALSE(parse({}));
    EXPECT_FALSE(parse({0x85, 0x05, 0x96, 0x40}));      // item cut short
    EXPECT_FALSE(parse({0x75, 0x08, 0xFE, 0x05, 0x10})); // long item cut short
    EXPECT_FALSE(parse({0x85, 0x00, 0x91, 0x02}));       // report id 0 is reserved
    EXPECT_FALSE(parse({0x86, 0x00, 0x01, 0x91, 0x02})); // report id past 255
    EXPECT_FALSE(parse({0xB4}));                         // pop without push
    EXPECT_FALSE(parse(std::vector<uint8_t>(64, 0xA4))); // pushes without end
}

TEST(ReportDescriptor, BufferIsCutToTheReportOnlyWhenItsLengthIsKnownAndFits) {
    const auto sizes = parse(bexo_test::streamUnitDescriptor());
    ASSERT_TRUE(sizes);
    std::vector<uint8_t> buffer(321, 0);
    buffer[0] = 0x10;
    EXPECT_EQ(bytesToSend(&*sizes, buffer.data(), buffer.size()), 8u);
    buffer[0] = 0x13;
    EXPECT_EQ(bytesToSend(&*sizes, buffer.data(), buffer.size()), 321u);
    EXPECT_EQ(bytesToSend(&*sizes, buffer.data(), 100), 100u); // shorter than the report
    buffer[0] = 0x01;                                           // an input report id
    EXPECT_EQ(bytesToSend(&*sizes, buffer.data(), buffer.size()), 321u);
    buffer[0] = 0x10;
    EXPECT_EQ(bytesToSend(nullptr, buffer.data(), buffer.size()), 321u); // no descriptor
}

} // namespace
