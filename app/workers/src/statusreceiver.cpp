#include "statusreceiver.h"

#if defined(_WIN32)
#  include <condition_variable>
#  include <mutex>
#  include <thread>
#endif

#if !defined(_WIN32)

struct StatusReceiver::Impl {
    std::function<void(const _ZEL_STATUS_RECORD&)> forward;
    ZEL_SINK sink{};
};

namespace {

void post(void* context, unsigned int message, uintptr_t, intptr_t lParam) {
    if (message != ZEL_STATUS_MESSAGE) return;
    auto* record = reinterpret_cast<_ZEL_STATUS_RECORD*>(lParam);
    static_cast<StatusReceiver::Impl*>(context)->forward(*record);
    ZELFreeStatusBuffer(record);
}

} // namespace

StatusReceiver::StatusReceiver(std::function<void(const _ZEL_STATUS_RECORD&)> forward) : impl_(new Impl) {
    impl_->forward = std::move(forward);
    impl_->sink = ZEL_SINK{&post, impl_.get()};
}

StatusReceiver::~StatusReceiver() = default;

HWND StatusReceiver::window() const { return &impl_->sink; }

#else

namespace {

constexpr UINT kStop = WM_APP + 1;
const char* const kClassName = "BexoWorkerStatus";

LRESULT CALLBACK receiverProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace

struct StatusReceiver::Impl {
    std::function<void(const _ZEL_STATUS_RECORD&)> forward;
    std::thread pump;
    std::mutex mutex;
    std::condition_variable ready;
    bool started = false;
    HWND window = nullptr;

    void run() {
        WNDCLASSA c{};
        c.lpfnWndProc = receiverProcedure;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = kClassName;
        RegisterClassA(&c); // fails harmlessly once registered
        HWND w = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, c.hInstance, nullptr);
        if (w) SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        {
            std::lock_guard<std::mutex> lock(mutex);
            window = w;
            started = true;
        }
        ready.notify_all();
        if (!w) return;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    }
};

namespace {

LRESULT CALLBACK receiverProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<StatusReceiver::Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == ZEL_STATUS_MESSAGE) {
        auto* record = reinterpret_cast<_ZEL_STATUS_RECORD*>(lParam);
        if (self) self->forward(*record);
        ZELFreeStatusBuffer(record);
        return 0;
    }
    if (message == kStop) {
        // Records still queued are freed, not shown.
        MSG msg;
        while (PeekMessageA(&msg, window, ZEL_STATUS_MESSAGE, ZEL_STATUS_MESSAGE, PM_REMOVE))
            ZELFreeStatusBuffer(reinterpret_cast<void*>(msg.lParam));
        DestroyWindow(window);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

StatusReceiver::StatusReceiver(std::function<void(const _ZEL_STATUS_RECORD&)> forward) : impl_(new Impl) {
    impl_->forward = std::move(forward);
    impl_->pump = std::thread([impl = impl_.get()] { impl->run(); });
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->ready.wait(lock, [&] { return impl_->started; });
}

StatusReceiver::~StatusReceiver() {
    if (impl_->window) PostMessageA(impl_->window, kStop, 0, 0);
    impl_->pump.join();
}

HWND StatusReceiver::window() const { return impl_->window; }

#endif
