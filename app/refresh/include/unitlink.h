// The open unit as the program holds it: opening and closing it, the one
// report of a failed conversation, and the rule that two conversations
// with one unit never overlap.
#pragma once

#include "dialoglink.h"

#include <atomic>
#include <functional>
#include <mutex>

extern const char* const kCommunicationErrorText;

// Held for the whole of one conversation with the unit in a library slot;
// every device call of the core is made while one is held. The library
// leaves this rule to its callers.
class UnitConversation {
public:
    // Waits for the slot's conversation under way, if any, to end.
    explicit UnitConversation(int unit);
    // Waits only while `keepWaiting` says so (polled every 10 ms); then
    // `held()` tells whether the wait ended with the slot.
    UnitConversation(int unit, const std::function<bool()>& keepWaiting);
    UnitConversation(const UnitConversation&) = delete;
    UnitConversation& operator=(const UnitConversation&) = delete;
    ~UnitConversation();
    bool held() const { return lock_.owns_lock(); }

private:
    std::unique_lock<std::mutex> lock_;
};

// Closes the unit held in `unitHandle`, if any, then opens the next one
// the library can open (-1 when none).
void openNextUnit(std::atomic<int>& unitHandle);
void closeUnit(std::atomic<int>& unitHandle);

// The box "Could not communicate with Bexo!...", caption "Error", error
// icon; then the unit is closed and `unitHandle` becomes -1. The caller
// holds the unit's conversation. Closing, not only forgetting, gives the
// library slot and the device back, so the unit can be opened again.
void reportCommunicationError(std::atomic<int>& unitHandle, int unit, DialogPort& dialog);

// The program's own fixed waits (after a reframe, between log files, after
// a directory write). Shortened a hundredfold, like the library's, when
// ZELUSB_FAST_CLOCK=1 while ZELUSB_VIRTUAL is set: zelusb then sees only
// virtual units.
void programWait(long ms);
// How long programWait(ms) waits.
long programWaitLength(long ms);
