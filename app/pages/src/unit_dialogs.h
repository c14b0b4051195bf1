// The dialogs inside which the program talks to the unit: the refresh and
// the settings write (dialog 109 on the user-interface thread), the
// log-space preparation (dialog 109 with a worker) and the download
// (dialog 108 with a worker).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

// Shared with the download and log-space workers (read and written as the
// core says).
extern std::string logFilePath;
extern std::string statusMessage;
extern std::atomic<bool> downloadRunning;

void runSettingsDialog(HWND owner);
void runPreparationDialog(HWND owner);
// 1 when the download completed, 0 when it failed or was cancelled.
INT_PTR runDownloadDialog(HWND owner);
