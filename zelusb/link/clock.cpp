#include "clock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace zel {

namespace {
std::atomic<bool> g_fastAllowed{false};
std::atomic<int64_t> g_waited{0};
constexpr long kFastDivisor = 100;
} // namespace

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool fastClockRequested() {
    const char* v = std::getenv("ZELUSB_FAST_CLOCK");
    return v && std::strcmp(v, "1") == 0;
}

void setFastClockAllowed(bool allowed) { g_fastAllowed = allowed; }

void fixedWait(long ms) {
    if (ms <= 0) return;
    if (g_fastAllowed) ms = ms / kFastDivisor > 0 ? ms / kFastDivisor : 1;
    g_waited += ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int64_t fixedWaitsSoFarMs() { return g_waited.load(); }

} // namespace zel
