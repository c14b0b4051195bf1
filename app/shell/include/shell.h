// BexoLogExport's frame: the open unit, the one report of a failed
// conversation, the display refresh, and the guard that keeps device work
// one conversation at a time. Everything here belongs to the user-interface
// thread unless said otherwise.
#pragma once

#include <windows.h>

// The open unit as zelusb numbered it; -1 when none. A worker reads it while
// its modal dialog runs.
extern volatile int unitHandle;
extern HINSTANCE appInstance;
extern HWND mainWindow;

void openNextUnit();
void closeUnit();
// The message box over `owner`, then the unit is closed and forgotten.
// Callable from a worker thread.
void reportCommunicationError(HWND owner);

void paintBanner(HWND window);
void refreshDisplay(HWND window);

// Device work (a refresh, a settings write, a worker's dialog) runs inside
// one of these; device arrivals that come meanwhile are taken up when the
// last one ends, so that no second conversation starts beside it.
void beginDeviceWork();
void endDeviceWork();
bool deviceWorkRunning();
