// Hot-plug messages in the kernel's form and in udev's re-broadcast form.
#include "linux_uevent.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;
using zelhid::hidraw::parseUevent;

std::optional<zelhid::hidraw::HotplugEvent> parse(const std::string& message) {
    return parseUevent(reinterpret_cast<const uint8_t*>(message.data()), message.size());
}

std::string kernelMessage(const std::string& action, const std::string& subsystem, const std::string& devname) {
    std::string m = action + "@/devices/pci0000:00/usb1/1-2/1-2:1.0/0003:16B5:0001.0004/hidraw/hidraw3";
    m += "\0ACTION="s + action;
    m += "\0DEVPATH=/devices/x/hidraw3"s;
    m += "\0SUBSYSTEM="s + subsystem;
    if (!devname.empty()) m += "\0DEVNAME="s + devname;
    m += "\0SEQNUM=4711\0"s;
    return m;
}

// udev's header: "libudev", big-endian magic, then sizes in host order.
std::string udevMessage(const std::string& properties, uint32_t magic = 0xFEEDCAFE, uint32_t offsetShift = 0) {
    std::vector<uint8_t> header(40, 0);
    std::memcpy(header.data(), "libudev", 8);
    header[8] = static_cast<uint8_t>(magic >> 24);
    header[9] = static_cast<uint8_t>(magic >> 16);
    header[10] = static_cast<uint8_t>(magic >> 8);
    header[11] = static_cast<uint8_t>(magic);
    const uint32_t headerSize = 40, offset = 40 + offsetShift, length = static_cast<uint32_t>(properties.size());
    std::memcpy(&header[12], &headerSize, 4);
    std::memcpy(&header[16], &offset, 4);
    std::memcpy(&header[20], &length, 4);
    return std::string(header.begin(), header.end()) + properties;
}

TEST(Uevent, KernelAddAndRemoveOfAHidrawNode) {
    const auto added = parse(kernelMessage("add", "hidraw", "hidraw3"));
    ASSERT_TRUE(added);
    EXPECT_TRUE(added->arrived);
    EXPECT_EQ(added->path, "/dev/hidraw3");

    const auto removed = parse(kernelMessage("remove", "hidraw", "hidraw3"));
    ASSERT_TRUE(removed);
    EXPECT_FALSE(removed->arrived);
    EXPECT_EQ(removed->path, "/dev/hidraw3");
}

TEST(Uevent, OtherSubsystemsActionsAndNamelessEventsAreIgnored) {
    EXPECT_FALSE(parse(kernelMessage("add", "hid", "")));
    EXPECT_FALSE(parse(kernelMessage("add", "usb", "bus/usb/001/005")));
    EXPECT_FALSE(parse(kernelMessage("change", "hidraw", "hidraw3")));
    EXPECT_FALSE(parse(kernelMessage("bind", "hidraw", "hidraw3")));
    EXPECT_FALSE(parse(kernelMessage("add", "hidraw", "")));
}

TEST(Uevent, MessagesWithoutAHeaderOrCutShortAreIgnoredOrReadAsFarAsTheyGo) {
    EXPECT_FALSE(parse("ACTION=add\0SUBSYSTEM=hidraw\0DEVNAME=hidraw1\0"s));
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parseUevent(nullptr, 10));
    // The last property without its terminator still counts.
    std::string unterminated = kernelMessage("add", "hidraw", "hidraw9");
    unterminated.resize(unterminated.find("\0SEQNUM"s));
    const auto event = parse(unterminated);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->path, "/dev/hidraw9");
}

TEST(Uevent, UdevFormKeepsItsAbsoluteNodePath) {
    const std::string properties = "ACTION=add\0DEVPATH=/devices/x/hidraw5\0SUBSYSTEM=hidraw\0DEVNAME=/dev/hidraw5\0"s;
    const auto event = parse(udevMessage(properties));
    ASSERT_TRUE(event);
    EXPECT_TRUE(event->arrived);
    EXPECT_EQ(event->path, "/dev/hidraw5");

    EXPECT_FALSE(parse(udevMessage(properties, 0xCAFEFEED)));
    EXPECT_FALSE(parse(udevMessage(properties, 0xFEEDCAFE, 1000))); // offset past the end
    EXPECT_FALSE(parse("libudev\0\xFE\xED"s));
}

} // namespace
