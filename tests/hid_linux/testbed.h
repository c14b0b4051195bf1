// Fake hidraw units for the device tests: umockdev's testbed gives each a
// sysfs entry and a /dev node backed by a PTY whose master side plays the
// unit. The test program runs under umockdev's preload (see device_main.cpp).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bexo_test {

struct FakeUnit {
    std::string hidSysPath; // the HID device
    std::string sysPath;    // its hidraw child
    std::string node;       // "/dev/hidrawN"
    int master = -1;        // the unit's end of the PTY; owned by the testbed
};

// An empty descriptor leaves the unit without a report_descriptor file.
// The testbed announces the unit with "add" uevents, as the kernel would.
FakeUnit addUnit(int number, uint16_t vendorId, uint16_t productId, const std::vector<uint8_t>& descriptor);
void removeUnit(const FakeUnit& unit);
void sendUevent(const std::string& sysPath, const char* action);
// As a pulled cable: the node hangs up for whoever has it open.
void hangUp(const FakeUnit& unit);
// The testbed lives from before the first test to after the last: sockets
// such as the hot-plug watcher's are faked only once it exists.
void startTestbed();
void releaseTestbed();

// What the unit receives: exactly `count` bytes, or fewer if they don't come
// within 10 s.
std::vector<uint8_t> receive(const FakeUnit& unit, size_t count);
bool transmit(const FakeUnit& unit, const std::vector<uint8_t>& report);

// Waits (up to 10 s) until thread `tid` of this process sleeps in the kernel.
bool waitUntilAsleep(pid_t tid);

// Runs this test program again with `args`; its exit code, or -1 when it
// did not end within 30 s (it is killed then).
int runSelf(const std::vector<std::string>& args);

} // namespace bexo_test
