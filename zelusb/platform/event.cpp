#include "event.h"

#if defined(_WIN32)
#include <windows.h>

namespace zelplat {

struct Event {
    HANDLE handle;
};

Event* createAutoResetEvent() {
    HANDLE h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return h ? new Event{h} : nullptr;
}
void destroyEvent(Event* e) {
    if (!e) return;
    CloseHandle(e->handle);
    delete e;
}
void signalEvent(Event* e) {
    if (e) SetEvent(e->handle);
}
int waitEvent(Event* e, long timeoutMs) {
    if (!e) return 0;
    const DWORD t = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return WaitForSingleObject(e->handle, t) == WAIT_OBJECT_0 ? 1 : 0;
}
void* nativeHandle(Event* e) { return e ? e->handle : nullptr; }
// Windows callers wait on the HANDLE themselves; the library never maps back.
Event* fromNativeHandle(void*) { return nullptr; }

} // namespace zelplat

#else
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zelplat {

struct Event {
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false;
};

Event* createAutoResetEvent() { return new Event; }
void destroyEvent(Event* e) { delete e; }
void signalEvent(Event* e) {
    if (!e) return;
    {
        std::lock_guard<std::mutex> lock(e->mutex);
        e->signalled = true;
    }
    e->cv.notify_one();
}
int waitEvent(Event* e, long timeoutMs) {
    if (!e) return 0;
    std::unique_lock<std::mutex> lock(e->mutex);
    auto ready = [e] { return e->signalled; };
    if (timeoutMs < 0) e->cv.wait(lock, ready);
    else if (!e->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) return 0;
    e->signalled = false;
    return 1;
}
void* nativeHandle(Event* e) { return e; }
Event* fromNativeHandle(void* handle) { return static_cast<Event*>(handle); }

} // namespace zelplat
#endif
