// The log download behind the "Download" dialog: every log file into one
// image, parsed, written as the log text file, the raw image copied into an
// existing "bexo-log.bin" beside it. Runs on its own thread.
#pragma once

#include "dialoglink.h"
#include "loglines.h"
#include "unitrefresh.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The program's own values that the download reads and writes. They live as
// long as the program; the worker touches them only while its dialog has
// not been cancelled.
struct DownloadValues {
    std::atomic<int>& unitHandle;
    const std::string& logFilePath;   // chosen before the dialog starts
    std::string& statusMessage;       // the result message
    std::atomic<bool>& downloadRunning;
};

struct LogFileStep {
    int file = 0;           // k, from 1
    int files = 0;          // N
    uint32_t offset = 0;    // where it lies in the image
    uint32_t size = 0;      // its directory size
    uint32_t imageSize = 0; // the whole image
};

struct DownloadSetup {
    uint32_t logBytes = 0; // from the last refresh: the image's size unless the log files have grown
    uint16_t eeFamily = 0; // the text layout
    MergeOptions merge;
    // Opens the text file for writing; fopen(path, "wb") when empty.
    std::function<FILE*(const std::string& path)> openTextFile;
    // Hand the image back in the report instead of freeing it.
    bool keepImage = false;
    // Called before each log file is read (on the worker's thread).
    std::function<void(const LogFileStep&)> logFileStep;
};
DownloadSetup downloadSetup(const UnitState& state, MergeOptions merge);

struct DownloadReport {
    // 1 completed, 0 failed or cancelled; -1 when the worker ended without
    // ending the dialog (a communication error, no memory), which then
    // stays open until cancelled.
    int result = -1;
    bool cancelled = false; // Cancel came before the worker ended the dialog
    int logFiles = 0;
    int failedReads = 0;
    int records = 0;
    bool textWritten = false;
    std::string rawImagePath; // the existing "bexo-log.bin" written, or empty
    std::vector<uint8_t> image; // with keepImage
};

// What the download dialog shows of a library status record (message
// 1034): the progress line "Progress: %d " and the bar's range and position.
struct DownloadProgress {
    std::string text;
    int range = 0; // the record's range, its low 16 bits
    int position = 0;
};
DownloadProgress downloadProgressOf(const _ZEL_STATUS_RECORD& record);

struct DownloadRun;

// The download dialog's procedure: the constructor is its initialisation
// (downloadRunning set, the status window registered, the worker started),
// cancel() its Cancel and Escape.
class DownloadDialog {
public:
    DownloadDialog(DownloadValues values, DownloadSetup setup, DialogLink link);
    DownloadDialog(const DownloadDialog&) = delete;
    DownloadDialog& operator=(const DownloadDialog&) = delete;
    ~DownloadDialog();

    // Returns within about 1000 ms. The worker stops at its next step; from
    // then on it touches neither the unit, nor the dialog, nor the values,
    // and a later conversation with the unit waits until its library call
    // under way has returned. The dialog is then ended with 0 by its owner.
    void cancel();
    // True once the worker has returned (the dialog may still be open).
    bool waitUntilFinished(std::chrono::milliseconds timeout);
    bool finished();
    // Once finished, or after cancel().
    DownloadReport report();

private:
    std::shared_ptr<DownloadRun> run_;
    std::thread thread_;
};
