// The export program's dialogs on a console: status lines and a progress bar
// on stderr (plain lines when stderr is not a terminal), message boxes as
// lines, Ctrl-C as the dialog's Cancel, and the libraries' own stdout lines
// kept off stdout so that only the command's result goes there.
#pragma once

#include "dialoglink.h"
#include "downloadworker.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

bool stderrIsTerminal();
bool stdinIsTerminal();

// From construction until destruction Ctrl-C sets interrupted() instead of
// ending the process. Built before any thread is started.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    static bool interrupted();
};

// Sends whatever is printed on stdout to stderr while it lives.
class StdoutToStderr {
public:
    StdoutToStderr();
    ~StdoutToStderr();
    void restore();

private:
    int saved_ = -1;
};

class ConsoleDialog {
public:
    // `command` prefixes message lines: "bexolog download".
    ConsoleDialog(std::string command, int unit);
    ~ConsoleDialog();
    DialogLink link();
    // The download's progress bar in place of the "Reading log file" lines:
    // fed by the worker's log-file steps and the library's status records.
    void followDownload();
    void logFileStep(const LogFileStep& step);
    void finish(); // ends a redrawn line
    void line(const std::string& text); // a message line on stderr

private:
    void status(const std::string& text);
    void record(const _ZEL_STATUS_RECORD& r);
    void drawBar();
    void messageBox(const std::string& text, const std::string& caption, MessageIcon icon);

    std::string command_;
    int unit_;
    bool terminal_;
    std::mutex mutex_;
    bool open_ = false; // a redrawn line not yet ended
    LogFileStep step_{};
    bool downloading_ = false;
    uint64_t transferred_ = 0, fileTransferred_ = 0;
    uint32_t filePosition_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};
