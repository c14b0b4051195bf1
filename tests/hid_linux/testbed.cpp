#include "testbed.h"

#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace bexo_test {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPatience = std::chrono::seconds(10);

UMockdevTestbed* g_testbed = nullptr;
std::vector<int> g_heldSlaves;

UMockdevTestbed* testbed() {
    if (!g_testbed) throw std::logic_error("startTestbed() was not called");
    return g_testbed;
}

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char pair[3];
    for (uint8_t b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        out += pair;
    }
    return out;
}

} // namespace

FakeUnit addUnit(int number, uint16_t vendorId, uint16_t productId, const std::vector<uint8_t>& descriptor) {
    char hidName[64];
    std::snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", vendorId, productId, number);
    char hidId[64];
    std::snprintf(hidId, sizeof hidId, "0003:%08X:%08X", vendorId, productId);
    const std::string name = "hidraw" + std::to_string(number);

    FakeUnit unit;
    unit.hidSysPath = std::string("/sys/devices/usb1/") + hidName;
    unit.sysPath = unit.hidSysPath + "/hidraw/" + name;
    unit.node = "/dev/" + name;

    std::string record = std::string("P: /devices/usb1/") + hidName + "\nE: SUBSYSTEM=hid\nE: HID_ID=" + hidId + "\n";
    if (!descriptor.empty()) record += "H: report_descriptor=" + hex(descriptor) + "\n";
    record += "\nP: /devices/usb1/" + std::string(hidName) + "/hidraw/" + name + "\nN: " + name +
              "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=" + unit.node + "\nA: dev=241:" + std::to_string(number) +
              "\nL: device=../../../" + hidName + "\n";

    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed(), record.c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw std::runtime_error("umockdev: " + message);
    }
    unit.master = umockdev_testbed_get_dev_fd(testbed(), unit.node.c_str());
    return unit;
}

void removeUnit(const FakeUnit& unit) { umockdev_testbed_remove_device(testbed(), unit.hidSysPath.c_str()); }

void sendUevent(const std::string& sysPath, const char* action) {
    umockdev_testbed_uevent(testbed(), sysPath.c_str(), action);
}

// The testbed closes the master itself later, so its number is kept valid
// (now /dev/null); the PTY's last master reference goes, and the slave hangs up.
// A slave kept open keeps the PTY's number from being handed out again, which
// the testbed would trip over when it makes the next unit.
void hangUp(const FakeUnit& unit) {
    g_heldSlaves.push_back(::open(unit.node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ::dup2(null, unit.master);
    ::close(null);
}

void startTestbed() {
    if (!g_testbed) g_testbed = umockdev_testbed_new();
}

void releaseTestbed() {
    if (g_testbed) g_object_unref(g_testbed);
    g_testbed = nullptr;
    for (int fd : g_heldSlaves) ::close(fd);
    g_heldSlaves.clear();
}

std::vector<uint8_t> receive(const FakeUnit& unit, size_t count) {
    std::vector<uint8_t> got;
    const auto deadline = Clock::now() + kPatience;
    while (got.size() < count && Clock::now() < deadline) {
        pollfd fd{unit.master, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) continue;
        uint8_t chunk[512];
        const ssize_t n = ::read(unit.master, chunk, std::min(sizeof chunk, count - got.size()));
        if (n <= 0) break;
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

bool transmit(const FakeUnit& unit, const std::vector<uint8_t>& report) {
    return ::write(unit.master, report.data(), report.size()) == static_cast<ssize_t>(report.size());
}

bool waitUntilAsleep(pid_t tid) {
    const std::string statPath = "/proc/self/task/" + std::to_string(tid) + "/stat";
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline) {
        std::ifstream file(statPath);
        std::string stat;
        std::getline(file, stat);
        // The state follows the command name, which ends with the last ')'.
        const size_t close = stat.rfind(')');
        if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'S') return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

int runSelf(const std::vector<std::string>& args) {
    std::string self = "/proc/self/exe";
    std::vector<char*> argv{self.data()};
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t child = 0;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return -1;
        if (Clock::now() >= deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace bexo_test
