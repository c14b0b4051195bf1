#include "linux_hotplug.h"
#include "linux_uevent.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <linux/netlink.h>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zelhid::hidraw {

namespace {

constexpr unsigned kKernelEventsGroup = 1;
// The kernel's uevent buffer is 2 KiB; udev's messages stay well under this.
constexpr size_t kMessageLimit = 8192;
// udev grants the seat's user access a moment after the kernel's "add".
constexpr int kAccessWaitStepMs = 20;
constexpr int kAccessWaitSteps = 50;

struct Watcher {
    std::mutex lock;
    DeviceNotify notify = nullptr;
    void* context = nullptr;
    int socket = -1;
    int stop = -1;
    std::thread thread;
    pid_t owner = 0;

    ~Watcher() {
        // A forked child has no watcher thread, and the eventfd is its parent's.
        if (thread.joinable() && ::getpid() != owner) {
            thread.detach();
            return;
        }
        if (thread.joinable()) {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t ignored = ::write(stop, &one, sizeof one);
            // exit() called from inside a callback runs this on the watcher itself.
            if (thread.get_id() == std::this_thread::get_id()) thread.detach();
            else thread.join();
        }
        if (socket >= 0) ::close(socket);
        if (stop >= 0) ::close(stop);
    }
};

Watcher& watcher() {
    static Watcher instance;
    return instance;
}

bool stopped(int stop, int waitMs) {
    pollfd fd{stop, POLLIN, 0};
    return ::poll(&fd, 1, waitMs) > 0;
}

// Waits, within bounds, until the new node can be opened, so the callback's
// open doesn't run into permissions udev hasn't set yet. false on stop.
bool awaitAccess(const std::string& path, int stop) {
    for (int step = 0; step < kAccessWaitSteps; ++step) {
        if (::access(path.c_str(), R_OK | W_OK) == 0) return true;
        if (stopped(stop, kAccessWaitStepMs)) return false;
    }
    return true;
}

void dispatch(Watcher& w, const HotplugEvent& event) {
    DeviceNotify notify;
    void* context;
    {
        std::lock_guard<std::mutex> guard(w.lock);
        notify = w.notify;
        context = w.context;
    }
    if (notify) notify(context, event.arrived, event.path);
}

void run(Watcher& w) {
    std::array<uint8_t, kMessageLimit> message{};
    for (;;) {
        std::array<pollfd, 2> fds{{{w.socket, POLLIN, 0}, {w.stop, POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;

        sockaddr_nl sender{};
        iovec part{message.data(), message.size()};
        msghdr header{};
        header.msg_name = &sender;
        header.msg_namelen = sizeof sender;
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        const ssize_t n = ::recvmsg(w.socket, &header, MSG_DONTWAIT);
        if (n < 0) {
            // ENOBUFS: events were lost while we were busy; carry on with the next.
            if (errno == EINTR || errno == EAGAIN || errno == ENOBUFS) continue;
            return;
        }
        if (header.msg_flags & MSG_TRUNC) continue;
        // Only the kernel (port 0) speaks for devices on this socket.
        if (header.msg_namelen >= sizeof sender && sender.nl_family == AF_NETLINK && sender.nl_pid != 0) continue;

        const auto event = parseUevent(message.data(), static_cast<size_t>(n));
        if (!event) continue;
        if (event->arrived && !awaitAccess(event->path, w.stop)) return;
        dispatch(w, *event);
    }
}

} // namespace

bool watchHotplug(DeviceNotify notify, void* context) {
    Watcher& w = watcher();
    std::lock_guard<std::mutex> guard(w.lock);
    w.notify = notify;
    w.context = context;
    if (w.thread.joinable()) return true;

    const int sock = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (sock < 0) return false;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelEventsGroup;
    const int stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stop < 0 || ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (stop >= 0) ::close(stop);
        ::close(sock);
        return false;
    }
    w.socket = sock;
    w.stop = stop;
    w.owner = ::getpid();
    try {
        w.thread = std::thread(run, std::ref(w));
    } catch (const std::system_error&) {
        ::close(sock);
        ::close(stop);
        w.socket = w.stop = -1;
        return false;
    }
    return true;
}

} // namespace zelhid::hidraw
