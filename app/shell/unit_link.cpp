// The open unit and the report of a failed conversation.
#include "shell.h"

#include "zelusb.h"

#include <atomic>

volatile int unitHandle = -1;
HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;

namespace {
int g_deviceWork = 0;
bool g_arrivalPending = false;
} // namespace

void openNextUnit() {
    closeUnit();
    unitHandle = ZELOpenNextAvailableDevice();
}

void closeUnit() {
    if (unitHandle >= 0) {
        ZELCloseDevice(unitHandle);
        unitHandle = -1;
    }
}

// The unit is closed as well as forgotten: a forgotten open unit keeps its
// library slot and its exclusive open, so the unit could not be opened again
// when it is plugged back in, and every failure would use up another slot.
void reportCommunicationError(HWND owner) {
    MessageBoxA(owner,
                "Could not communicate with Bexo!\nUnplug Bexo from your PC, remove the batteries, wait 5 seconds, "
                "and then try again.",
                "Error", MB_OK | MB_ICONERROR);
    closeUnit();
}

void beginDeviceWork() { ++g_deviceWork; }

void endDeviceWork() {
    if (--g_deviceWork == 0 && g_arrivalPending && mainWindow) {
        g_arrivalPending = false;
        PostMessageA(mainWindow, WM_DEVICECHANGE, 0x8000 /* DBT_DEVICEARRIVAL */, 0);
    }
}

bool deviceWorkRunning() { return g_deviceWork > 0; }

// Called by the main window for an arrival it cannot take up now.
void deferArrival() { g_arrivalPending = true; }
