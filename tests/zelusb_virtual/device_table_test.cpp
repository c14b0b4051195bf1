// Finding, opening and closing virtual units through the library.
#include "virtual_units.h"

#include <cstring>
#include <fstream>
#include <thread>

#include <unistd.h>

using namespace testunits;

namespace {

TEST(DeviceTable, SecondInitialiseDoesNothing) {
    initialiseLibrary();
    EXPECT_EQ(ZELDLLInitialize(), 0);
}

TEST(DeviceTable, TwoUnitsOpenAsZeroAndOneAndAThirdOpenFails) {
    auto a = plugUnit();
    auto b = plugUnit();
    const int first = ZELOpenNextAvailableDevice();
    const int second = ZELOpenNextAvailableDevice();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(ZELOpenNextAvailableDevice(), -1);
    ZELCloseDevice(first);
    EXPECT_EQ(ZELOpenNextAvailableDevice(), 0); // the lowest free number again
    ZELCloseDevice(0);
    ZELCloseDevice(second);
    EXPECT_EQ(ZELCloseDevice(-1), 1);
}

TEST(DeviceTable, LowestFreeNumbersOverTwentyFiveOpens) {
    std::vector<std::unique_ptr<Plugged>> units;
    UnitSpec small;
    small.chipCode = 17;
    for (int i = 0; i < 26; ++i) units.push_back(plugUnit(small));
    for (int i = 0; i < 25; ++i) ASSERT_EQ(ZELOpenNextAvailableDevice(), i);
    EXPECT_EQ(ZELOpenNextAvailableDevice(), -1); // the table is full, though a unit is left
    ZELCloseDevice(7);
    ZELCloseDevice(3);
    EXPECT_EQ(ZELOpenNextAvailableDevice(), 3);
    EXPECT_EQ(ZELOpenNextAvailableDevice(), 7);
    for (int i = 0; i < 25; ++i) ZELCloseDevice(i);
}

TEST(DeviceTable, OpenByIndexCountsMatchingDevices) {
    auto only = plugUnit();
    EXPECT_EQ(ZELOpenDevice(1), -1);
    const int unit = ZELOpenDevice(0);
    EXPECT_EQ(unit, 0);
    EXPECT_EQ(ZELOpenDevice(0), -1); // in use
    ZELCloseDevice(unit);
}

TEST(DeviceTable, AlternativeVendorAndPacketUnitsAreFound) {
    UnitSpec spec;
    spec.vendor = 0x4242;
    spec.kind = vunit::Kind::Packet;
    auto unit = plugUnit(spec);
    const int u = ZELOpenNextAvailableDevice();
    ASSERT_EQ(u, 0);
    EXPECT_EQ(ZELSetPins(u, _ZEL_PINS{{0, 0, 0, 2, 2, 0}}), 1); // packet units have no pins
    ZELCloseDevice(u);
}

TEST(DeviceTable, DeviceStringSizes) {
    auto unit = plugUnit();
    const int u = ZELOpenNextAvailableDevice();
    ASSERT_GE(u, 0);
    int size = 0;
    EXPECT_EQ(ZELGetDeviceString(u, nullptr, &size), 0);
    EXPECT_EQ(size, static_cast<int>(unit->path.size()) + 1);
    std::vector<char> buffer(static_cast<size_t>(size) - 1, 'x');
    int small = size - 1;
    EXPECT_EQ(ZELGetDeviceString(u, buffer.data(), &small), 0);
    EXPECT_EQ(small, size);
    buffer.assign(static_cast<size_t>(size), 'x');
    EXPECT_EQ(ZELGetDeviceString(u, buffer.data(), &size), 1);
    EXPECT_STREQ(buffer.data(), unit->path.c_str());
    ZELCloseDevice(u);
}

TEST(DeviceTable, LastErrorOfAClosedUnit) {
    unsigned long code = 1, detail = 2;
    EXPECT_EQ(ZELGetLastError(5, code, detail), 0);
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(detail, 2u);
}

TEST(DeviceTable, CancelIoOnlySetsTheFlag) { EXPECT_EQ(ZELCancelIO(3), 0); }

#if !defined(_WIN32)
TEST(DeviceTable, ArrivalAndRemovalReachTheRegisteredSink) {
    initialiseLibrary();
    static Collector collector; // the registration outlives the test
    ASSERT_EQ(ZELSetNotification(&collector.sink, nullptr), 1);
    std::string path;
    {
        auto unit = plugUnit();
        path = unit->path;
    }
    std::lock_guard<std::mutex> lock(collector.mutex);
    ASSERT_GE(collector.deviceChanges.size(), 2u);
    const auto& arrival = collector.deviceChanges[collector.deviceChanges.size() - 2];
    const auto& removal = collector.deviceChanges.back();
    EXPECT_EQ(arrival.first, static_cast<uintptr_t>(DBT_DEVICEARRIVAL));
    EXPECT_EQ(arrival.second, path);
    EXPECT_EQ(removal.first, static_cast<uintptr_t>(DBT_DEVICEREMOVECOMPLETE));
    EXPECT_EQ(removal.second, path);
}

// A program closes the unit when it hears of its removal, whatever thread
// the news comes on: here the unit's own receive thread.
TEST(DeviceTable, ClosingFromTheRemovalNotification) {
    auto plugged = plugUnit();
    const int u = openPowered();
    ASSERT_GE(u, 0);
    static std::atomic<int> closed{-2};
    static std::string path;
    path = plugged->path;
    static ZEL_SINK closer{[](void*, unsigned int message, uintptr_t wParam, intptr_t lParam) {
                               if (message != WM_DEVICECHANGE || wParam != DBT_DEVICEREMOVECOMPLETE) return;
                               if (path == reinterpret_cast<const char*>(lParam) + 28) closed = ZELCloseDevice(0);
                           },
                           nullptr};
    ASSERT_EQ(ZELSetNotification(&closer, nullptr), 1);
    armFault(*plugged, "unplug-after:1");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    unsigned char major, minor, code;
    EXPECT_EQ(ZELGetVersion(u, major, minor, code), 0);
    for (int i = 0; i < 100 && closed != 1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(closed, 1);
    unsigned long errorCode = 0, errorDetail = 0;
    EXPECT_EQ(ZELGetLastError(u, errorCode, errorDetail), 0); // the record is free
}
#endif

TEST(DeviceTable, ReceiveEventIsSignalledPerResponse) {
    auto unit = plugUnit();
    const int u = openPowered();
    ASSERT_GE(u, 0);
    void* event = ZELGetReceiveEventHandle(u);
    ASSERT_NE(event, nullptr);
    unsigned char request = 0x0D;
    ASSERT_EQ(ZELDoTransaction(u, &request, 1, nullptr, 0, 0), 1); // no wait for the answer
#if defined(_WIN32)
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
#else
    EXPECT_EQ(ZELWaitReceiveEvent(event, 5000), 1);
#endif
    int length = 0, queued = 0;
    unsigned char* answer = ZELGetFirstAvailableResponse(u, &length, &queued);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer[0], 8);
    EXPECT_EQ(queued, 1);
    ZELCloseDevice(u);
}

} // namespace

#if !defined(_WIN32)
// Another program (bexo-sim unplug / plug) pulls out and plugs in a unit
// named in ZELUSB_VIRTUAL by its folder's marker file: this one hears of it
// and no longer finds the unit while it is out.
TEST(DeviceTable, AUnitPulledOutAndPluggedInByAnotherProgram) {
    initialiseLibrary();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zelusb-marker-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    vunit::createUnitFolder(dir, describe(UnitSpec{}).identity, vfactory::buildUnit(describe(UnitSpec{})));
    const std::string path = vunit::loadUnitIdentity(dir).path;
    setenv("ZELUSB_VIRTUAL", dir.c_str(), 1);
    static Collector collector;
    ASSERT_EQ(ZELSetNotification(&collector.sink, nullptr), 1);
    auto heard = [&](uintptr_t event) {
        for (int i = 0; i < 200; ++i) {
            {
                std::lock_guard<std::mutex> lock(collector.mutex);
                for (const auto& change : collector.deviceChanges)
                    if (change.first == event && change.second == path) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    const int u = ZELOpenNextAvailableDevice();
    ASSERT_GE(u, 0);
    std::ofstream(dir / "unplugged").put('\n');
    EXPECT_TRUE(heard(DBT_DEVICEREMOVECOMPLETE));
    _ZEL_STATUS status{};
    EXPECT_EQ(ZELStatus(u, &status), 0); // the device went with it
    ZELCloseDevice(u);
    EXPECT_EQ(ZELOpenNextAvailableDevice(), -1);

    std::filesystem::remove(dir / "unplugged");
    EXPECT_TRUE(heard(DBT_DEVICEARRIVAL));
    const int again = ZELOpenNextAvailableDevice();
    EXPECT_GE(again, 0);
    if (again >= 0) ZELCloseDevice(again);
    unsetenv("ZELUSB_VIRTUAL");
    std::filesystem::remove_all(dir);
}
#endif
