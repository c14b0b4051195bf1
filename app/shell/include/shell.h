// BexoLogExport's frame: the open unit and its cached state, the display
// refresh, and the guard that keeps device work one conversation at a time.
// Everything here belongs to the user-interface thread unless said
// otherwise.
#pragma once

#include "unitrefresh.h"

#include <windows.h>

#include <atomic>

// The open unit as zelusb numbered it; -1 when none. Workers read it, and
// the core closes and forgets it after a failed conversation.
extern std::atomic<int> unitHandle;
extern UnitState unitState;
extern HINSTANCE appInstance;
extern HWND mainWindow;

void paintBanner(HWND window);
void refreshDisplay(HWND window);

// Device work (a refresh, a settings write, a worker's dialog) runs inside
// one of these; device arrivals that come meanwhile are taken up when the
// last one ends, so that no second conversation starts beside it.
void beginDeviceWork();
void endDeviceWork();
bool deviceWorkRunning();
// An arrival that came during device work, taken up when it ends.
void deferArrival();
