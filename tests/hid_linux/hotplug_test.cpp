// The hot-plug watcher fed with uevents by umockdev.
#include "backends.h"
#include "descriptors.h"
#include "device_modes.h"
#include "testbed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

namespace native = zelhid::native;

struct Log {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<bool, std::string>> events;
};

void record(void* context, bool arrived, const std::string& path) {
    Log& log = *static_cast<Log*>(context);
    std::lock_guard<std::mutex> guard(log.lock);
    log.events.emplace_back(arrived, path);
    log.changed.notify_all();
}

// The events once `count` have come (or what came within 10 s).
std::vector<std::pair<bool, std::string>> await(Log& log, size_t count) {
    std::unique_lock<std::mutex> guard(log.lock);
    log.changed.wait_for(guard, std::chrono::seconds(10), [&] { return log.events.size() >= count; });
    return log.events;
}

class Hotplug : public ::testing::Test {
protected:
    // The watcher outlives each test; it must not call into a dead Log.
    void TearDown() override {
        native::watchDevices(nullptr, nullptr);
        for (const auto& unit : units) bexo_test::removeUnit(unit);
    }
    std::vector<bexo_test::FakeUnit> units;
};

TEST_F(Hotplug, HidrawArrivalAndRemovalReachTheCallbackAndNothingElse) {
    Log log;
    ASSERT_TRUE(native::watchDevices(record, &log));
    units.push_back(bexo_test::addUnit(30, 0x16B5, 1, bexo_test::streamUnitDescriptor()));
    const auto& unit = units.back();
    bexo_test::sendUevent(unit.hidSysPath, "remove"); // not a hidraw node
    bexo_test::sendUevent(unit.sysPath, "change");
    bexo_test::sendUevent(unit.sysPath, "remove");

    const std::vector<std::pair<bool, std::string>> expected{{true, "/dev/hidraw30"}, {false, "/dev/hidraw30"}};
    EXPECT_EQ(await(log, 2), expected);
}

TEST_F(Hotplug, StartingAgainReplacesTheCallback) {
    Log first, second;
    ASSERT_TRUE(native::watchDevices(record, &first));
    ASSERT_TRUE(native::watchDevices(record, &second));
    units.push_back(bexo_test::addUnit(31, 0x4242, 2, bexo_test::packetUnitDescriptor()));
    const std::vector<std::pair<bool, std::string>> expected{{true, "/dev/hidraw31"}};
    EXPECT_EQ(await(second, 1), expected);
    std::lock_guard<std::mutex> guard(first.lock);
    EXPECT_TRUE(first.events.empty());
}

TEST_F(Hotplug, TheWatcherEndsWithItsProcess) {
    EXPECT_EQ(bexo_test::runSelf({bexo_test::kWatchThenExitMode}), 0);
}

} // namespace
