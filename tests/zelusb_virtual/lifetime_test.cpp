// A unit's lifetime across threads, as the export program lives it: a worker
// talks to the unit while the removal handler (the window's thread on
// Windows, the library's notifier thread elsewhere) closes it and at once
// opens another unit in the same slot. Run under ASan and TSan, this is what
// proves that nothing of an open is touched after its close.
#include "opened.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>
#if defined(_WIN32)
#include <dbt.h>
#endif

using namespace testunits;

namespace {

constexpr int kRounds = 100;

// The removal handler: when the open unit is the one removed, close it and
// open the other one (by index, so the two take turns in slot 0). Each open
// gets a cut armed a few reports ahead, so the next removal comes by itself,
// sometimes while the worker is in the middle of a call.
struct Reopener {
    std::vector<const Plugged*> units;
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<int> current{-1};
    int opened = 0; // index of the unit now open
    int rounds = 0;
    bool stopped = false;
    std::vector<int> slots; // the unit number of every reopen

    void armNextCut(int index) {
        // 1 cuts during the open's own reframe; 8 after a full version exchange.
        armFault(*units[static_cast<size_t>(index)], "unplug-after:" + std::to_string(1 + rounds % 8));
    }

    void onRemoval(const char* name) {
        const int unit = current;
        if (unit < 0) return;
        char path[256];
        int size = sizeof path;
        if (!ZELGetDeviceString(unit, path, &size)) return;
        const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
        for (int i = 0; i < size; ++i)
            if (lower(path[i]) != lower(name[i])) return; // another device
        std::lock_guard<std::mutex> lock(mutex);
        // The test may have closed it meanwhile and opened the slot again
        // for its final checks: that open is not this handler's to close.
        if (current != unit) return;
        ZELCloseDevice(unit);
        current = -1;
        if (stopped) {
            changed.notify_all();
            return;
        }
        const int next = 1 - opened;
        armNextCut(next);
        // The close has released the device: the unit opened two rounds ago
        // (and closed then, perhaps mid-write) opens again at once.
        const int reopened = ZELOpenDevice(next);
        opened = next;
        slots.push_back(reopened);
        current = reopened;
        if (reopened < 0) stopped = true; // no further removal would come
        ++rounds;
        changed.notify_all();
    }
};

Reopener* g_reopener = nullptr;

// What a worker does with whatever unit is open now; every result is ignored,
// since the unit may be pulled out under any of these calls.
void talk(std::atomic<bool>& done) {
    while (!done) {
        const int unit = g_reopener->current;
        if (unit < 0) {
            std::this_thread::yield();
            continue;
        }
        ZELPowerOn(unit);
        unsigned char major, minor, code;
        ZELGetVersion(unit, major, minor, code);
        unsigned char ee[4];
        ZELReadEE(unit, 0, ee, 4);
    }
}

#if defined(_WIN32)
LRESULT CALLBACK removalWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DEVICECHANGE) {
        const auto* record = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        if (wParam == DBT_DEVICEREMOVECOMPLETE && record && record->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE)
            g_reopener->onRemoval(reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(lParam)->dbcc_name);
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeRecipient() {
    WNDCLASSA c{};
    c.lpfnWndProc = removalWindow;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "BexoLifetimeTest";
    RegisterClassA(&c);
    return CreateWindowA(c.lpszClassName, "", 0, 0, 0, 0, 0, nullptr, nullptr, c.hInstance, nullptr);
}

// The window's thread (this one) hears of removals only while it pumps.
template <typename Done> void waitPumping(Done done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}
#else
ZEL_SINK g_sink{[](void*, unsigned int message, uintptr_t wParam, intptr_t lParam) {
                    if (message == WM_DEVICECHANGE && wParam == DBT_DEVICEREMOVECOMPLETE)
                        g_reopener->onRemoval(reinterpret_cast<const char*>(lParam) + 28);
                },
                nullptr};

template <typename Done> void waitPumping(Done done, std::chrono::seconds limit) {
    std::unique_lock<std::mutex> lock(g_reopener->mutex);
    g_reopener->changed.wait_for(lock, limit, done);
}
#endif

} // namespace

TEST(Lifetime, RemovalHandlerClosesAndReopensTheSlotWhileAWorkerTalks) {
    UnitSpec a, b;
    b.firmwareMajor = 2;
    b.firmwareMinor = 31;
    auto first = plugUnit(a);
    auto second = plugUnit(b);
    static Reopener reopener; // the registration outlives the test
    reopener.units = {first.get(), second.get()};
    g_reopener = &reopener;
#if defined(_WIN32)
    HWND recipient = makeRecipient();
    ASSERT_NE(recipient, nullptr);
#else
    HWND recipient = &g_sink;
#endif
    ASSERT_EQ(ZELSetNotification(recipient, nullptr), 1);

    {
        std::lock_guard<std::mutex> lock(reopener.mutex);
        reopener.armNextCut(0);
        reopener.current = ZELOpenDevice(0);
        ASSERT_EQ(reopener.current, 0);
    }
    std::atomic<bool> done{false};
    std::thread worker(talk, std::ref(done));
    waitPumping([&] { return reopener.rounds >= kRounds || reopener.stopped; }, std::chrono::seconds(120));
    {
        std::lock_guard<std::mutex> lock(reopener.mutex);
        reopener.stopped = true;
    }
    done = true;
    worker.join();
    {
        std::lock_guard<std::mutex> lock(reopener.mutex);
        EXPECT_GE(reopener.rounds, kRounds);
        // Every reopen took the slot the close had just freed.
        EXPECT_TRUE(std::all_of(reopener.slots.begin(), reopener.slots.end(), [](int s) { return s == 0; }));
        if (reopener.current >= 0) ZELCloseDevice(reopener.current);
        reopener.current = -1;
    }

    // Afterwards each unit opens cleanly and answers as itself: no answer of
    // an earlier open is waiting in the slot, and the error words start clear.
    for (int index = 0; index < 2; ++index) {
        const int unit = ZELOpenDevice(index);
        ASSERT_EQ(unit, 0);
        int length = -1, queued = -1;
        EXPECT_EQ(ZELGetFirstAvailableResponse(unit, &length, &queued), nullptr);
        ASSERT_EQ(ZELPowerOn(unit), 1);
        unsigned char major = 0, minor = 0, code = 0;
        ASSERT_EQ(ZELGetVersion(unit, major, minor, code), 1);
        EXPECT_EQ(major, index == 0 ? 1 : 2);
        EXPECT_EQ(minor, index == 0 ? 29 : 31);
        ZELCloseDevice(unit);
    }
#if defined(_WIN32)
    DestroyWindow(recipient);
#endif
}
