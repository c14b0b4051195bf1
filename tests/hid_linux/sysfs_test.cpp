// Finding hidraw nodes and their ids in a sysfs tree laid out in a temp dir.
#include "linux_sysfs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using zelhid::DeviceInfo;
using zelhid::hidraw::listHidraw;
using zelhid::hidraw::parseHidId;

TEST(HidId, ReadsVendorAndProductFromTheUeventText) {
    const auto ids = parseHidId("DRIVER=hid-generic\nHID_ID=0003:000016B5:00000002\nHID_NAME=Bexo\n");
    ASSERT_TRUE(ids);
    EXPECT_EQ(ids->vendorId, 0x16B5);
    EXPECT_EQ(ids->productId, 2);

    const auto lower = parseHidId("HID_ID=0003:0000046d:0000c077");
    ASSERT_TRUE(lower);
    EXPECT_EQ(lower->vendorId, 0x046D);
    EXPECT_EQ(lower->productId, 0xC077);
}

TEST(HidId, MalformedOrMissingIdsGiveNothing) {
    for (const char* text : {"", "HID_NAME=x\n", "HID_ID=0003:000016B5\n", "HID_ID=0003:0000zz:00000001\n",
                             "HID_ID=0003:000016B5:00000001x\n", "HID_ID=0003::00000001\n",
                             "HID_ID=0003:00016B50:00000001\n", "XHID_ID=0003:000016B5:00000001\n"}) {
        EXPECT_FALSE(parseHidId(text)) << text;
    }
}

class FakeSysfs : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zelhid-sysfs-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        fs::create_directories(root / "class/hidraw");
    }
    void TearDown() override { fs::remove_all(root); }

    // A HID device with a hidraw child, linked from class/hidraw as the kernel
    // does; without `uevent` the HID device has no uevent file.
    void addNode(const std::string& name, const std::string& hidDevice, const char* uevent = nullptr) {
        const fs::path device = root / "devices/usb1" / hidDevice;
        const fs::path node = device / "hidraw" / name;
        fs::create_directories(node);
        fs::create_directory_symlink(fs::path("../../../") / hidDevice, node / "device");
        fs::create_directory_symlink(fs::relative(node, root / "class/hidraw"), root / "class/hidraw" / name);
        if (uevent) std::ofstream(device / "uevent") << uevent;
    }

    fs::path root;
};

TEST_F(FakeSysfs, ListsReadableNodesInNumericOrderWithTheirIds) {
    addNode("hidraw10", "0003:16B5:0001.000B", "HID_ID=0003:000016B5:00000001\n");
    addNode("hidraw2", "0003:4242:0002.0003", "DRIVER=hid-generic\nHID_ID=0003:00004242:00000002\n");
    addNode("hidraw0", "0003:046D:C077.0001", "HID_ID=0003:0000046D:0000C077\nHID_NAME=Mouse\n");
    addNode("hidraw1", "0003:16B5:0001.0002", "HID_ID=0003:000016B5:00000001\n");
    addNode("hidraw3", "0003:16B5:0001.0004", "HID_ID=garbage\n");  // malformed
    addNode("hidraw4", "0003:16B5:0001.0005");                      // no uevent
    fs::create_directories(root / "class/hidraw/hidraw5");          // no device link
    fs::create_directories(root / "class/hidraw/hidrawX/device");    // not a node name
    std::ofstream(root / "class/hidraw/hidrawX/device/uevent") << "HID_ID=0003:000016B5:00000001\n";

    const std::vector<DeviceInfo> devices = listHidraw(root.string());
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0].path, "/dev/hidraw0");
    EXPECT_EQ(devices[0].vendorId, 0x046D);
    EXPECT_EQ(devices[1].path, "/dev/hidraw1");
    EXPECT_EQ(devices[1].vendorId, 0x16B5);
    EXPECT_EQ(devices[1].productId, 1);
    EXPECT_EQ(devices[2].path, "/dev/hidraw2");
    EXPECT_EQ(devices[2].vendorId, 0x4242);
    EXPECT_EQ(devices[2].productId, 2);
    EXPECT_EQ(devices[3].path, "/dev/hidraw10");
}

TEST_F(FakeSysfs, NoHidrawClassMeansNoDevices) {
    EXPECT_TRUE(listHidraw((root / "nowhere").string()).empty());
    EXPECT_TRUE(listHidraw(root.string()).empty());
}

} // namespace
