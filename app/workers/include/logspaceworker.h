// Clearing the unit's log space behind dialog 109: the log files deleted,
// new empty ones laid out over the free space sector by sector, the unit
// restarted. Runs on its own thread.
#pragma once

#include "dialoglink.h"
#include "unitrefresh.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

constexpr unsigned kFirstNewLogId = 1280;
constexpr uint32_t kNoRoomError = 0x1C000000;

extern const char* const kNotEnoughRoomText;
extern const char* const kNoDirectoryText;

struct LogSpacePlan {
    int32_t total = 0;    // what is left after the planned files
    uint32_t reserve = 0;
    uint32_t cap = 0;
    std::vector<uint16_t> sizes;  // the new log files, in sector order
    std::vector<int> sectors;     // the sector each was planned for
    uint32_t bytes() const;       // their sum
};

// The plan for a unit whose directory (without log files) is `entries`.
LogSpacePlan planLogSpace(const uint8_t* sectorMap, unsigned usableSectorCount, const _direntry* entries, int count);

struct LogSpaceValues {
    std::atomic<int>& unitHandle;
    std::string& statusMessage; // "\n%d bytes available for new logs." appended
};

struct LogSpaceReport {
    bool finished = false;   // the worker has returned
    int result = -1;         // 1 when it ended the dialog, -1 when it left it open (a failure reported)
    bool restarted = false;  // the whole sequence ran
    bool stopped = false;    // stop() was asked for before the end
    int planned = 0;
    int written = 0;          // log files laid out
    uint32_t bytesLaidOut = 0;
    uint32_t errorCode = 0;   // of the write that failed
    bool noDirectory = false;
};

struct LogSpaceRun;

// The preparation dialog's procedure: the constructor is its initialisation
// (range 0-6, the status window registered, the worker started).
class LogSpaceDialog {
public:
    LogSpaceDialog(LogSpaceValues values, const UnitState& state, DialogLink link);
    LogSpaceDialog(const LogSpaceDialog&) = delete;
    LogSpaceDialog& operator=(const LogSpaceDialog&) = delete;
    // Waits for the worker: its steps end on their own, and the unit must
    // not be spoken to meanwhile.
    ~LogSpaceDialog();

    // Escape: asks the worker to stop before its next step (the file being
    // written is finished; the unit is then not restarted). Returns at once.
    void stop();
    bool waitUntilFinished(std::chrono::milliseconds timeout);
    LogSpaceReport report();

private:
    std::shared_ptr<LogSpaceRun> run_;
    std::thread thread_;
};
