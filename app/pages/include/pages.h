// The three tab pages and the dialogs that talk to the unit for them.
#pragma once

#include <windows.h>

#include <string>

INT_PTR CALLBACK summaryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK configurePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK downloadPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

void populateSummaryPage(HWND page);
void populateConfigurePage(HWND page);
void populateDownloadPage(HWND page);

// The FileVersion of the program's own version resource; empty when it has
// none.
std::string programFileVersion();

// Dialog 109 over `owner`, refreshing the cached unit state.
void runUnitRefresh(HWND owner);

// Closing the program: a worker still running is cancelled and waited for
// until it has stopped talking to the unit.
void stopRunningWorker();
