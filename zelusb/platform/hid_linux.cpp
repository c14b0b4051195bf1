// The Linux HID backend: hidraw nodes found through sysfs, one process per
// unit by an exclusive flock, reports moved with poll()ed reads and writes,
// and hot-plug from the kernel's uevents.
#include "backends.h"
#include "linux_hotplug.h"
#include "linux_report_descriptor.h"
#include "linux_sysfs.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <unistd.h>

namespace zelhid {

// The native backend's own device (hid_select wraps it).
struct LinuxDevice {
    int fd;
    int stop; // eventfd; once written it stays readable, so every later read ends
    std::optional<hidraw::OutputReportSizes> outputs;
};

namespace native {

namespace {

constexpr const char* kSysRoot = "/sys";
constexpr size_t kDescriptorLimit = 65536;
constexpr uint32_t kWaitTimeout = 258; // what Windows' wait reports on a time-out

LinuxDevice* self(Device* device) { return reinterpret_cast<LinuxDevice*>(device); }

void explainPermission(const std::string& path) {
    static std::atomic<bool> told{false};
    if (told.exchange(true)) return;
    std::fprintf(stderr,
                 "zelusb: no permission to open %s.\n"
                 "  Install zelusb/platform/70-bexo.rules into /etc/udev/rules.d, run\n"
                 "  'udevadm control --reload' and plug the unit in again; or run this\n"
                 "  program with permission to open %s.\n",
                 path.c_str(), path.c_str());
}

std::optional<hidraw::OutputReportSizes> outputSizes(const std::string& path) {
    const std::string descriptorPath = hidraw::reportDescriptorPath(kSysRoot, path);
    std::string descriptor;
    if (descriptorPath.empty() || !hidraw::readSmallFile(descriptorPath, descriptor, kDescriptorLimit)) {
        return std::nullopt;
    }
    return hidraw::parseOutputReportSizes(reinterpret_cast<const uint8_t*>(descriptor.data()), descriptor.size());
}

// A negative time-out waits forever.
struct Deadline {
    bool forever;
    std::chrono::steady_clock::time_point at;
};

Deadline deadlineAfter(int timeoutMs) {
    return {timeoutMs < 0, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs)};
}

// What poll() takes: -1 for no deadline, else the milliseconds left.
int msLeft(const Deadline& deadline) {
    if (deadline.forever) return -1;
    const auto rest = std::chrono::ceil<std::chrono::milliseconds>(deadline.at - std::chrono::steady_clock::now());
    return rest.count() > 0 ? static_cast<int>(rest.count()) : 0;
}

constexpr short kGone = POLLHUP | POLLERR | POLLNVAL;

} // namespace

std::vector<DeviceInfo> enumerate() { return hidraw::listHidraw(kSysRoot); }

// hidraw has no share modes: an exclusive flock stands in for Windows'
// "share reading only", so this or any other process's second open fails.
Device* openExclusive(const std::string& path, bool* busy) {
    if (busy) *busy = false;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM) explainPermission(path);
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (busy) *busy = errno == EWOULDBLOCK;
        ::close(fd);
        return nullptr;
    }
    const int stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop < 0) {
        ::close(fd);
        return nullptr;
    }
    return reinterpret_cast<Device*>(new LinuxDevice{fd, stop, outputSizes(path)});
}

// Callers stop and wait for their reader first, as on Windows.
void close(Device* handle) {
    LinuxDevice* device = self(handle);
    if (!device) return;
    ::close(device->fd); // drops the flock with it
    ::close(device->stop);
    delete device;
}

// The kernel keeps 64 input reports per open hidraw node, fixed; there is
// nothing to set.
void setInputBuffers(Device*, int) {}

// Windows' HID driver sends only the report's own length, whatever the
// caller's buffer; hidraw sends what it is given, so the buffer is cut to the
// length the descriptor declares. The caller checks `written` against what it
// asked for, so a whole report counts as the whole buffer.
WriteResult writeReport(Device* handle, const uint8_t* data, size_t length, int timeoutMs) {
    LinuxDevice* device = self(handle);
    if (!device || !data || length == 0) return {};
    const size_t send = hidraw::bytesToSend(device->outputs ? &*device->outputs : nullptr, data, length);
    const Deadline deadline = deadlineAfter(timeoutMs);
    for (;;) {
        pollfd fd{device->fd, POLLOUT, 0};
        const int ready = ::poll(&fd, 1, msLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return {};
        if (ready == 0) return {WriteStatus::TimedOut, 0, kWaitTimeout};
        if (fd.revents & kGone) return {};

        const ssize_t n = ::write(device->fd, data, send);
        if (n < 0) {
            if (errno == EAGAIN && msLeft(deadline) == 0) return {WriteStatus::TimedOut, 0, kWaitTimeout};
            if (errno == EINTR || errno == EAGAIN) continue;
            return {};
        }
        if (static_cast<size_t>(n) == send) return {WriteStatus::Ok, static_cast<uint32_t>(length), 0};
        return {WriteStatus::Short, static_cast<uint32_t>(n), 0};
    }
}

// hidraw hands out one report per read.
int readReports(Device* handle, uint8_t* buffer, size_t capacity, int timeoutMs) {
    LinuxDevice* device = self(handle);
    if (!device || !buffer) return -1;
    const Deadline deadline = deadlineAfter(timeoutMs);
    for (;;) {
        pollfd fds[2] = {{device->fd, POLLIN, 0}, {device->stop, POLLIN, 0}};
        const int ready = ::poll(fds, 2, msLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return -1;
        if (ready == 0) return 0;
        if (fds[1].revents != 0) return -1;
        // Unplugged: hidraw says POLLHUP | POLLERR and reads fail with ENODEV.
        if (fds[0].revents & kGone) return -1;

        const ssize_t n = ::read(device->fd, buffer, std::min<size_t>(capacity, INT_MAX));
        if (n > 0) return static_cast<int>(n);
        if (n < 0 && errno == EAGAIN && msLeft(deadline) == 0) return 0;
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        return -1;
    }
}

void stopReads(Device* handle) {
    LinuxDevice* device = self(handle);
    if (!device) return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(device->stop, &one, sizeof one);
}

bool watchDevices(DeviceNotify notify, void* context) { return hidraw::watchHotplug(notify, context); }

bool isVirtual(const Device*) { return false; }

} // namespace native
} // namespace zelhid
