// Closing every unit when the library is unloaded. At process exit Windows
// has already ended the receive threads and reclaims the handles itself, so
// nothing is done then (each change of a virtual unit is on disk already).
#if defined(_WIN32)
#include "../link/unit_table.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) zel::closeAllUnits();
    return TRUE;
}
#endif
