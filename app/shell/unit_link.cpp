// The program's process-wide values, and device arrivals held back while
// device work runs.
#include "shell.h"

#include <dbt.h>

std::atomic<int> unitHandle{-1};
UnitState unitState;
HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;

namespace {
int g_deviceWork = 0;
bool g_arrivalPending = false;
} // namespace

void beginDeviceWork() { ++g_deviceWork; }

void endDeviceWork() {
    if (--g_deviceWork == 0 && g_arrivalPending && mainWindow) {
        g_arrivalPending = false;
        PostMessageA(mainWindow, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    }
}

bool deviceWorkRunning() { return g_deviceWork > 0; }

// Called by the main window for an arrival it cannot take up now.
void deferArrival() { g_arrivalPending = true; }
