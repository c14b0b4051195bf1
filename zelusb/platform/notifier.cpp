#include "notifier.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace zelplat {

namespace {

struct Notifier {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> jobs;
    bool running = false; // a job is being run
    bool started = false;
};

// Never destroyed: its thread lives until the process ends, and a job may
// still be given while static objects are being destroyed at exit.
Notifier& notifier() {
    static Notifier* n = new Notifier;
    return *n;
}

void serve(Notifier& n) {
    std::unique_lock<std::mutex> lock(n.mutex);
    for (;;) {
        n.changed.wait(lock, [&n] { return !n.jobs.empty(); });
        std::function<void()> job = std::move(n.jobs.front());
        n.jobs.pop_front();
        n.running = true;
        lock.unlock();
        job();
        lock.lock();
        n.running = false;
        n.changed.notify_all();
    }
}

} // namespace

void runOnNotifierThread(std::function<void()> job) {
    Notifier& n = notifier();
    std::lock_guard<std::mutex> lock(n.mutex);
    if (!n.started) {
        n.started = true;
        std::thread([&n] { serve(n); }).detach();
    }
    n.jobs.push_back(std::move(job));
    n.changed.notify_all();
}

void waitForNotifierThread() {
    Notifier& n = notifier();
    std::unique_lock<std::mutex> lock(n.mutex);
    n.changed.wait(lock, [&n] { return n.jobs.empty() && !n.running; });
}

} // namespace zelplat
