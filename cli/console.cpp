#include "console.h"

#include "unitlink.h"

#include <cstdio>
#include <thread>
#if defined(_WIN32)
#  include <io.h>
#  include <windows.h>
#else
#  include <csignal>
#  include <pthread.h>
#  include <unistd.h>
#endif

namespace {

std::atomic<bool> g_interrupted{false};

} // namespace

#if defined(_WIN32)
namespace {
// A console, not merely a character device: NUL passes _isatty too.
bool isConsole(DWORD which) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}
} // namespace

bool stderrIsTerminal() { return isConsole(STD_ERROR_HANDLE); }
bool stdinIsTerminal() { return isConsole(STD_INPUT_HANDLE); }
#else
bool stderrIsTerminal() { return isatty(fileno(stderr)) != 0; }
bool stdinIsTerminal() { return isatty(fileno(stdin)) != 0; }
#endif

#if defined(_WIN32)

namespace {

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    g_interrupted = true;
    return TRUE;
}

} // namespace

InterruptWatch::InterruptWatch() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }
InterruptWatch::~InterruptWatch() { SetConsoleCtrlHandler(onConsoleEvent, FALSE); }

#else

// SIGINT is blocked in every thread (they inherit this thread's mask) and
// taken by one that waits for it: no library call sees an interrupted read.
InterruptWatch::InterruptWatch() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) == 0 && signal == SIGINT) g_interrupted = true;
        }
    }).detach();
}

InterruptWatch::~InterruptWatch() = default; // the process ends soon after; the watcher with it

#endif

bool InterruptWatch::interrupted() { return g_interrupted.load(); }

StdoutToStderr::StdoutToStderr() {
    std::fflush(stdout);
#if defined(_WIN32)
    saved_ = _dup(_fileno(stdout));
    if (saved_ >= 0) _dup2(_fileno(stderr), _fileno(stdout));
#else
    saved_ = dup(fileno(stdout));
    if (saved_ >= 0) dup2(fileno(stderr), fileno(stdout));
#endif
}

StdoutToStderr::~StdoutToStderr() { restore(); }

void StdoutToStderr::restore() {
    if (saved_ < 0) return;
    std::fflush(stdout);
#if defined(_WIN32)
    _dup2(saved_, _fileno(stdout));
    _close(saved_);
#else
    dup2(saved_, fileno(stdout));
    ::close(saved_);
#endif
    saved_ = -1;
}

ConsoleDialog::ConsoleDialog(std::string command, int unit)
    : command_(std::move(command)), unit_(unit), terminal_(stderrIsTerminal()), start_(std::chrono::steady_clock::now()) {}

ConsoleDialog::~ConsoleDialog() { finish(); }

DialogLink ConsoleDialog::link() {
    DialogLink l;
    l.status = [this](const std::string& text) { status(text); };
    l.messageBox = [this](const std::string& text, const std::string& caption, MessageIcon icon) {
        messageBox(text, caption, icon);
    };
    l.libraryStatus = [this](const _ZEL_STATUS_RECORD& r) { record(r); };
    return l;
}

void ConsoleDialog::finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) std::fputc('\n', stderr);
    open_ = false;
    std::fflush(stderr);
}

void ConsoleDialog::line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (open_) std::fputc('\n', stderr);
    open_ = false;
    std::fprintf(stderr, "%s: %s\n", command_.c_str(), text.c_str());
    std::fflush(stderr);
}

void ConsoleDialog::status(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (downloading_ && text.rfind("Reading log file ", 0) == 0) return; // the bar shows it
    if (terminal_) {
        std::fprintf(stderr, "\r%-72s", text.c_str());
        open_ = true;
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    std::fflush(stderr);
}

void ConsoleDialog::messageBox(const std::string& text, const std::string& caption, MessageIcon) {
    std::string words;
    if (caption == "Error" && unit_ >= 0) {
        unsigned long code = 0, detail = 0;
        ZELGetLastError(unit_, code, detail);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, " (error %08lX, detail %lu)", code, detail);
        if (code || detail) words = buffer;
    }
    std::string flat = text;
    for (char& c : flat)
        if (c == '\n') c = ' ';
    line(caption + ": " + flat + words);
}

void ConsoleDialog::followDownload() {
    std::lock_guard<std::mutex> lock(mutex_);
    downloading_ = true;
}

void ConsoleDialog::logFileStep(const LogFileStep& step) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (step.file == 1) start_ = std::chrono::steady_clock::now();
    transferred_ += fileTransferred_;
    fileTransferred_ = 0;
    filePosition_ = 0;
    step_ = step;
    drawBar();
}

void ConsoleDialog::record(const _ZEL_STATUS_RECORD& r) {
    if (r.kind != ZEL_STATUS_FILE_READ) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!downloading_ || r.position < 0) return;
    filePosition_ = static_cast<uint32_t>(r.position);
    fileTransferred_ = filePosition_;
    const auto now = std::chrono::steady_clock::now();
    if (terminal_ && now - lastDraw_ > std::chrono::milliseconds(100)) drawBar();
}

// Called with the mutex held.
void ConsoleDialog::drawBar() {
    lastDraw_ = std::chrono::steady_clock::now();
    const double done = step_.imageSize ? static_cast<double>(step_.offset + filePosition_) / step_.imageSize : 0;
    const double seconds = std::chrono::duration<double>(lastDraw_ - start_).count();
    const uint64_t bytes = transferred_ + fileTransferred_;
    const double rate = seconds > 0 ? static_cast<double>(bytes) / seconds : 0;
    char left[32] = "";
    if (done > 0.01 && seconds > 1) std::snprintf(left, sizeof left, ", %.0f s left", seconds * (1 - done) / done);
    if (terminal_) {
        char cells[21];
        const int filled = static_cast<int>(done * 20 + 0.5);
        for (int i = 0; i < 20; ++i) cells[i] = i < filled ? '#' : '.';
        cells[20] = 0;
        std::fprintf(stderr, "\rlog file %d of %d [%s] %llu bytes, %.1f kB/s%s   ", step_.file, step_.files, cells,
                     static_cast<unsigned long long>(bytes), rate / 1000, left);
        open_ = true;
    } else {
        std::fprintf(stderr, "log file %d of %d, %u bytes at offset %u: %llu bytes read so far, %.1f kB/s%s\n",
                     step_.file, step_.files, step_.size, step_.offset, static_cast<unsigned long long>(bytes),
                     rate / 1000, left);
    }
    std::fflush(stderr);
}
