// Where the library posts its status records (message 1034) while a worker
// runs: a sink on POSIX hosts, a message-only window with its own thread on
// Windows. Each record goes to `forward` and is then freed.
#pragma once

#include "zelusb.h"

#include <functional>
#include <memory>

class StatusReceiver {
public:
    explicit StatusReceiver(std::function<void(const _ZEL_STATUS_RECORD&)> forward);
    StatusReceiver(const StatusReceiver&) = delete;
    StatusReceiver& operator=(const StatusReceiver&) = delete;
    // Must outlive every library call that may still post to it.
    ~StatusReceiver();
    // What ZELRegisterStatusWindow takes; null when none could be made.
    HWND window() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
