// Device-change registration and delivery to a real (message-only) window.
#include "window.h"

#include <dbt.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

namespace {

struct Seen {
    int count = 0;
    WPARAM event = 0;
    DWORD deviceType = 0;
    GUID classGuid{};
    std::string path;
};
Seen g_seen;

// Reads the record the way a program does: only while handling the message.
LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE && lParam) {
        const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(lParam);
        ++g_seen.count;
        g_seen.event = wParam;
        g_seen.deviceType = record->dbcc_devicetype;
        g_seen.classGuid = record->dbcc_classguid;
        g_seen.path = reinterpret_cast<const char*>(lParam) + 28;
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class DeviceWindow : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = Seen{};
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = recordingProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "BexoDeviceChangeTest";
        RegisterClassA(&windowClass); // fails harmlessly when already registered
        window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { DestroyWindow(window); }
    HWND window = nullptr;
};

TEST_F(DeviceWindow, RegistersForHidInterfaces) {
    EXPECT_TRUE(zelwin::registerDeviceNotification(window, zelwin::hidClassGuid(), nullptr));
    EXPECT_TRUE(zelwin::registerDeviceNotification(window, zelwin::hidClassGuid(), "bexo"));
}

TEST_F(DeviceWindow, DeviceChangeFromTheWindowsThreadIsHandledAtOnce) {
    const char* path = "virtual:C:\\units\\first";
    zelwin::postDeviceChange(window, true, path);
    ASSERT_EQ(g_seen.count, 1);
    EXPECT_EQ(g_seen.event, WPARAM(DBT_DEVICEARRIVAL));
    EXPECT_EQ(g_seen.deviceType, DWORD(DBT_DEVTYP_DEVICEINTERFACE));
    const GUID hid = zelwin::hidClassGuid();
    EXPECT_EQ(std::memcmp(&g_seen.classGuid, &hid, sizeof hid), 0);
    EXPECT_EQ(g_seen.path, path);
}

// The usual case: a library thread announces, the window's thread pumps.
TEST_F(DeviceWindow, DeviceChangeFromAnotherThreadArrivesWhileThePumpRuns) {
    std::atomic<bool> sent{false};
    std::thread announcer([&] {
        zelwin::postDeviceChange(window, false, "virtual:second");
        sent = true;
    });
    while (!sent) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    announcer.join();
    ASSERT_EQ(g_seen.count, 1);
    EXPECT_EQ(g_seen.event, WPARAM(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(g_seen.path, "virtual:second");
}

TEST(HostVersion, WineCountsAsNtFamily) { EXPECT_TRUE(zelwin::isNtFamily()); }

} // namespace
