// The native HID backend on the running system.
// Under Wine the system lists its own virtual mouse and keyboard (vendor
// 0x845E) and no Bexo unit.
#include "backends.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string idsInPath(uint16_t vendorId, uint16_t productId) {
    char text[32];
    std::snprintf(text, sizeof text, "vid_%04x&pid_%04x", vendorId, productId);
    return text;
}

bool isBexo(const zelhid::DeviceInfo& info) {
    return (info.vendorId == 0x16B5 || info.vendorId == 0x4242) && (info.productId == 1 || info.productId == 2);
}

TEST(HidEnumeration, ListsPresentInterfacesWithTheirOwnIds) {
    const std::vector<zelhid::DeviceInfo> devices = zelhid::native::enumerate();
    ASSERT_FALSE(devices.empty()) << "Wine always has its virtual mouse and keyboard";
    bool wineDevice = false;
    for (const zelhid::DeviceInfo& info : devices) {
        // The ids come from the device itself and must agree with its path.
        EXPECT_NE(lower(info.path).find(idsInPath(info.vendorId, info.productId)), std::string::npos)
            << info.path << " read as " << idsInPath(info.vendorId, info.productId);
        EXPECT_FALSE(isBexo(info)) << info.path;
        wineDevice = wineDevice || info.vendorId == 0x845E;
    }
    EXPECT_TRUE(wineDevice);
}

TEST(HidExclusiveOpen, MissingDeviceIsNotBusy) {
    bool busy = true;
    EXPECT_EQ(zelhid::native::openExclusive("\\\\?\\hid#vid_16b5&pid_0001#no-such-unit#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                                    &busy),
              nullptr);
    EXPECT_FALSE(busy);
}

// Wine's HID devices ignore share modes, so the sharing rules are checked on
// a plain file, which honours them like a HID device on Windows does.
class ExclusiveFile : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
        char name[MAX_PATH];
        ASSERT_NE(GetTempFileNameA(folder, "bx", 0, name), 0u);
        path = name;
    }
    void TearDown() override { DeleteFileA(path.c_str()); }
    std::string path;
};

TEST_F(ExclusiveFile, SecondOpenerIsBusyUntilTheFirstCloses) {
    zelhid::Device* first = zelhid::native::openExclusive(path);
    ASSERT_NE(first, nullptr);

    bool busy = false;
    EXPECT_EQ(zelhid::native::openExclusive(path, &busy), nullptr);
    EXPECT_TRUE(busy);

    // Enumeration's read-only probe still gets in while the device is held.
    HANDLE probe = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED, nullptr);
    EXPECT_NE(probe, INVALID_HANDLE_VALUE);
    if (probe != INVALID_HANDLE_VALUE) CloseHandle(probe);

    zelhid::native::close(first);
    zelhid::Device* again = zelhid::native::openExclusive(path, &busy);
    EXPECT_NE(again, nullptr);
    zelhid::native::close(again);
}

// Reads on one of Wine's own HID devices, which sends nothing under Xvfb.
class WineHidDevice : public ::testing::Test {
protected:
    void SetUp() override {
        for (const zelhid::DeviceInfo& info : zelhid::native::enumerate()) {
            if (info.vendorId != 0x845E) continue;
            device = zelhid::native::openExclusive(info.path);
            if (device) break;
        }
        if (!device) GTEST_SKIP() << "no Wine HID device could be opened";
        zelhid::native::setInputBuffers(device, 200);
    }
    void TearDown() override { zelhid::native::close(device); }
    zelhid::Device* device = nullptr;
};

TEST_F(WineHidDevice, QuietDeviceTimesOutThenStopEndsReads) {
    std::array<uint8_t, 64> buffer{};
    EXPECT_EQ(zelhid::native::readReports(device, buffer.data(), buffer.size(), 20), 0);

    auto reader = std::async(std::launch::async,
                             [&] { return zelhid::native::readReports(device, buffer.data(), buffer.size(), 10000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    zelhid::native::stopReads(device);
    EXPECT_EQ(reader.get(), -1) << "0 means the stop event did not end the pending read";
    EXPECT_EQ(zelhid::native::readReports(device, buffer.data(), buffer.size(), -1), -1);
}

// Wine's mouse and keyboard have no output report of this size.
TEST_F(WineHidDevice, ReportTheDeviceHasNoRoomForIsRefused) {
    std::array<uint8_t, 321> report{0x13};
    const zelhid::WriteResult result = zelhid::native::writeReport(device, report.data(), report.size(), 1000);
    EXPECT_EQ(result.status, zelhid::WriteStatus::Failed);
    EXPECT_EQ(result.written, 0u);
}

} // namespace
