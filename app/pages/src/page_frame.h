// What every tab page shares: its title font, made with the page and
// deleted with it.
#pragma once

#include <windows.h>

void createTitleFont(HWND page, int titleControl);
void deleteTitleFont(HWND page);
void enableControls(HWND page, const int* ids, int count, bool enabled);
