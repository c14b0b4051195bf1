#include "logspaceworker.h"

#include "statusreceiver.h"
#include "unitlink.h"
#include "workerrun.h"

#include <cstdio>

const char* const kNotEnoughRoomText =
    "Warning: There was not enough room for all the required logfiles.\nYou may need to delete some sounds using the "
    "website to increase logging space.";
const char* const kNoDirectoryText =
    "This Bexo's memory has no directory, so its log space cannot be prepared.\nNothing on the Bexo was changed.";

uint32_t LogSpacePlan::bytes() const {
    uint32_t sum = 0;
    for (const uint16_t size : sizes) sum += size;
    return sum;
}

LogSpacePlan planLogSpace(const uint8_t* map, unsigned usable, const _direntry* entries, int count) {
    LogSpacePlan plan;
    uint16_t freeSpace[256];
    for (int s = 0; s < 256; ++s) freeSpace[s] = map[s] ? 65535 : 0;
    int32_t total = (static_cast<int32_t>(usable) - 1) * 65536;
    plan.reserve = usable * 768 + 16384;
    plan.cap = plan.reserve + 481800;
    for (int i = 0; i < count; ++i) {
        const unsigned sector = entries[i].address / 65536;
        const unsigned size = entries[i].size;
        if (sector < 255 && entries[i].type != 0xFF) {
            freeSpace[sector] = static_cast<uint16_t>(freeSpace[sector] - size);
            total -= static_cast<int32_t>(size);
        }
    }
    if (total > static_cast<int32_t>(plan.cap)) total = static_cast<int32_t>(plan.cap);
    // Signed throughout: a unit with less than the reserve left plans nothing.
    const int32_t reserve = static_cast<int32_t>(plan.reserve);
    bool passedOver = false;
    for (int s = 0; s < 256; ++s) {
        if (!map[s]) continue;
        if (!passedOver && freeSpace[s] == 65535) {
            passedOver = true;
            continue;
        }
        int32_t size = static_cast<int32_t>(freeSpace[s]) - 2560;
        if (size > total - reserve) size = total - reserve;
        if (size > 128) {
            plan.sizes.push_back(static_cast<uint16_t>(size));
            plan.sectors.push_back(s);
            total -= size;
        }
    }
    plan.total = total;
    return plan;
}

struct LogSpaceRun {
    LogSpaceRun(LogSpaceValues v, const UnitState& s, DialogLink link)
        : values(v), state(s), port(std::move(link)), receiver([](const _ZEL_STATUS_RECORD&) {}) {}

    LogSpaceValues values;
    UnitState state; // sectorMap and usableSectorCount of the last refresh
    DialogPort port;
    StatusReceiver receiver; // the dialog ignores the records
    int unit = -1;
    std::atomic<bool> stopRequested{false};
    WorkerEnd end;
    std::mutex reportMutex;
    LogSpaceReport report;
};

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

void setReport(LogSpaceRun& r, const std::function<void(LogSpaceReport&)>& change) {
    std::lock_guard<std::mutex> lock(r.reportMutex);
    change(r.report);
}

void endDialog(LogSpaceRun& r, int result) {
    setReport(r, [&](LogSpaceReport& report) { report.result = result; });
    ZELRegisterStatusWindow(r.unit, nullptr, 0);
    r.port.end(result);
}

void fail(LogSpaceRun& r) {
    ZELRegisterStatusWindow(r.unit, nullptr, 0);
    reportCommunicationError(r.values.unitHandle, r.unit, r.port);
}

// Said as it is, rather than as the first write failing.
void noDirectory(LogSpaceRun& r) {
    setReport(r, [](LogSpaceReport& report) { report.noDirectory = true; });
    r.port.messageBox(kNoDirectoryText, "Error", MessageIcon::Error);
    endDialog(r, 1);
}

// Powers the unit off and on again; false when that failed (reported).
bool restart(LogSpaceRun& r) {
    const int unit = r.unit;
    if (!ZELPowerOff(unit)) {
        fail(r);
        return false;
    }
    programWait(1000);
    const bool on = ZELPowerOn(unit) != 0;
    ZELReframe(unit);
    if (!on) {
        fail(r);
        return false;
    }
    setReport(r, [](LogSpaceReport& report) { report.restarted = true; });
    return true;
}

void work(LogSpaceRun& r) {
    const int unit = r.unit;
    UnitConversation conversation(unit, [&r] { return !r.stopRequested.load(); });
    if (!conversation.held() || r.stopRequested) {
        endDialog(r, 0); // nothing changed
        return;
    }

    ZELReframe(unit);
    r.port.progressRange(20);
    r.port.progressPosition(1);
    std::vector<_direntry> entries(kDirectoryListing);
    int directorySector = 0, count = 0;
    unsigned short sectorCount = 0;
    // Deleting on a unit without a directory would make an empty one and
    // lay log files over whatever its flash holds: ask first.
    const int found = ZELReadDirectory(unit, directorySector, sectorCount, entries.data(), count);
    if (found < 0) {
        fail(r);
        return;
    }
    if (found == 0) {
        noDirectory(r);
        return;
    }
    r.port.status("Entering download mode...");
    ZELSetDownloadMode(unit, 1);
    r.port.status("Clearing out old logs...");
    unsigned int types[1] = {0x60};
    if (!ZELDeleteItemsByType(unit, types, 1)) {
        fail(r);
        return;
    }
    count = 0;
    const int directory = ZELReadDirectory(unit, directorySector, sectorCount, entries.data(), count);
    if (directory < 0) {
        fail(r);
        return;
    }
    if (directory == 0) {
        noDirectory(r);
        return;
    }

    const LogSpacePlan plan = planLogSpace(r.state.sectorMap, r.state.usableSectorCount, entries.data(), count);
    const int n = static_cast<int>(plan.sizes.size());
    setReport(r, [&](LogSpaceReport& report) { report.planned = n; });
    r.port.progressRange(n + 3);
    std::vector<unsigned char> block(65536, 0xFF);
    uint32_t laidOut = 0;
    bool stopped = false;
    for (int k = 0; k < n; ++k) {
        if (r.stopRequested) {
            stopped = true;
            break;
        }
        r.port.progressPosition(k + 2);
        r.port.status(format("Writing file %d of %d...", k + 1, n));
        const _direntry item{0, 0x60, kFirstNewLogId + static_cast<unsigned>(k), plan.sizes[static_cast<size_t>(k)]};
        if (!ZELWriteDirectoryItem(unit, item, block.data())) {
            unsigned long code = 0, detail = 0;
            ZELGetLastError(unit, code, detail);
            setReport(r, [&](LogSpaceReport& report) { report.errorCode = static_cast<uint32_t>(code); });
            if (code == kNoRoomError) {
                r.port.messageBox(kNotEnoughRoomText, "Error", MessageIcon::Error);
                endDialog(r, 1);
            } else {
                fail(r);
                // Reported and the unit closed; the files before stay.
                endDialog(r, 1);
            }
            return;
        }
        programWait(100);
        laidOut += plan.sizes[static_cast<size_t>(k)];
        setReport(r, [&](LogSpaceReport& report) {
            report.written = k + 1;
            report.bytesLaidOut = laidOut;
        });
    }

    r.port.progressPosition(n + 2);
    r.port.status("Restarting Bexo...");
    if (!restart(r)) return;
    if (stopped) {
        setReport(r, [](LogSpaceReport& report) { report.stopped = true; });
        endDialog(r, 0);
        return;
    }
    r.port.progressPosition(n + 3);
    r.port.status("Complete!");
    r.port.ifAttached([&] { r.values.statusMessage += format("\n%d bytes available for new logs.", static_cast<int>(laidOut)); });
    endDialog(r, 1);
}

} // namespace

LogSpaceDialog::LogSpaceDialog(LogSpaceValues values, const UnitState& state, DialogLink link)
    : run_(std::make_shared<LogSpaceRun>(values, state, std::move(link))) {
    run_->unit = values.unitHandle.load();
    run_->port.progressRange(6);
    run_->port.progressPosition(0);
    ZELRegisterStatusWindow(run_->unit, run_->receiver.window(), 0);
    thread_ = std::thread([run = run_] {
        work(*run);
        setReport(*run, [](LogSpaceReport& report) { report.finished = true; });
        run->end.markFinished();
    });
}

LogSpaceDialog::~LogSpaceDialog() { thread_.join(); }

void LogSpaceDialog::stop() { run_->stopRequested = true; }

bool LogSpaceDialog::waitUntilFinished(std::chrono::milliseconds timeout) { return run_->end.waitFor(timeout); }

LogSpaceReport LogSpaceDialog::report() {
    std::lock_guard<std::mutex> lock(run_->reportMutex);
    return run_->report;
}
