// What every worker thread shares with its dialog's side.
#pragma once

#include "dialoglink.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

struct WorkerEnd {
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false; // the worker thread has returned

    void markFinished();
    bool waitFor(std::chrono::milliseconds timeout);
    bool isFinished();
};

// A program wait (programWaitLength) that gives up as soon as `going` says
// the worker is to stop; false then.
bool pauseWhile(long ms, const std::function<bool()>& going);
