#include "unitlink.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

const char* const kCommunicationErrorText =
    "Could not communicate with Bexo!\nUnplug Bexo from your PC, remove the batteries, wait 5 seconds, and then try "
    "again.";

namespace {

constexpr int kSlots = 25;

std::mutex& slotMutex(int unit) {
    static std::mutex slots[kSlots];
    static std::mutex none; // out-of-range numbers name no unit; they share one
    return unit >= 0 && unit < kSlots ? slots[unit] : none;
}

} // namespace

UnitConversation::UnitConversation(int unit) : lock_(slotMutex(unit)) {}

UnitConversation::UnitConversation(int unit, const std::function<bool()>& keepWaiting)
    : lock_(slotMutex(unit), std::defer_lock) {
    // Polled rather than a timed lock: sanitizers follow try_lock.
    while (keepWaiting()) {
        if (lock_.try_lock()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

UnitConversation::~UnitConversation() = default;

void closeUnit(std::atomic<int>& unitHandle) {
    const int unit = unitHandle.load();
    if (unit < 0) return;
    UnitConversation conversation(unit);
    ZELCloseDevice(unit);
    unitHandle = -1;
}

void openNextUnit(std::atomic<int>& unitHandle) {
    closeUnit(unitHandle);
    unitHandle = ZELOpenNextAvailableDevice();
}

void reportCommunicationError(std::atomic<int>& unitHandle, int unit, DialogPort& dialog) {
    if (dialog.isCut()) return; // the dialog's owner has moved on
    dialog.messageBox(kCommunicationErrorText, "Error", MessageIcon::Error);
    dialog.ifAttached([&] {
        ZELCloseDevice(unit);
        unitHandle = -1;
    });
}

long programWaitLength(long ms) {
    if (ms <= 0) return 0;
    const char* fast = std::getenv("ZELUSB_FAST_CLOCK");
    if (fast && std::strcmp(fast, "1") == 0 && std::getenv("ZELUSB_VIRTUAL")) return ms / 100 > 0 ? ms / 100 : 1;
    return ms;
}

void programWait(long ms) {
    const long length = programWaitLength(ms);
    if (length > 0) std::this_thread::sleep_for(std::chrono::milliseconds(length));
}
