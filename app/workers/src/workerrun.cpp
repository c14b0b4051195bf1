#include "workerrun.h"

#include "unitlink.h"

#include <thread>

void WorkerEnd::markFinished() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
    }
    changed.notify_all();
}

bool WorkerEnd::waitFor(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return finished; });
}

bool WorkerEnd::isFinished() {
    std::lock_guard<std::mutex> lock(mutex);
    return finished;
}

bool pauseWhile(long ms, const std::function<bool()>& going) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(programWaitLength(ms));
    for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
        if (!going()) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(10)));
    }
    return going();
}
