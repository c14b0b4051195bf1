#include "library_unload.h"

#include <atomic>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace zelplat {

namespace {
std::atomic<void (*)()> g_hook{nullptr};

void runHook() {
    if (void (*hook)() = g_hook.exchange(nullptr)) hook();
}

#if !defined(_WIN32)
struct RunAtExit {
    ~RunAtExit() { runHook(); }
} g_runAtExit;
#endif
} // namespace

void onLibraryUnload(void (*hook)()) { g_hook = hook; }

} // namespace zelplat

#if defined(_WIN32)
// At process exit Windows has already ended the receive threads and reclaims
// the handles itself, so nothing is done then (each change of a virtual unit
// is on disk already); only a FreeLibrary closes the units.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) zelplat::runHook();
    return TRUE;
}
#endif
