// The dialogs inside which the program talks to the unit: the refresh and
// the settings write (dialog 109 on the user-interface thread), the
// log-space preparation (dialog 109 with a worker) and the download
// (dialog 108 with a worker).
#pragma once

#include <windows.h>

#include <string>

extern char logFilePath[300];
extern std::string statusMessage;

void runSettingsDialog(HWND owner);
void runPreparationDialog(HWND owner);
// 1 when the download completed, 0 when it failed or was cancelled.
INT_PTR runDownloadDialog(HWND owner);
