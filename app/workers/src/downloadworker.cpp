#include "downloadworker.h"

#include "bexolog_parser.h"
#include "rawimage.h"
#include "statusreceiver.h"
#include "textexport.h"
#include "unitlink.h"
#include "workerrun.h"

#include <algorithm>
#include <cstdio>
#include <new>

struct DownloadRun {
    DownloadRun(DownloadValues v, DownloadSetup s, DialogLink link)
        : values(v), setup(std::move(s)), port(std::move(link)),
          receiver([this](const _ZEL_STATUS_RECORD& record) { port.libraryStatus(record); }) {}

    DownloadValues values;
    DownloadSetup setup;
    DialogPort port;
    StatusReceiver receiver; // after the port, which it forwards to
    int unit = -1;
    std::string logFilePath;
    WorkerEnd end;
    std::mutex reportMutex;
    DownloadReport report;
};

namespace {

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    const int n = std::snprintf(nullptr, 0, pattern, args...);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, pattern, args...);
    return text;
}

// The text file, written completely or not at all as far as the result goes:
// an error while writing, flushing or closing counts as much as one opening.
bool writeTextFile(DownloadRun& r, const std::vector<LogRecord>& records) {
    FILE* file = r.setup.openTextFile ? r.setup.openTextFile(r.logFilePath) : std::fopen(r.logFilePath.c_str(), "wb");
    if (!file) return false;
    writeLogTextWith(records.data(), static_cast<unsigned>(records.size()), file, r.setup.eeFamily, r.setup.merge);
    bool ok = std::ferror(file) == 0;
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

// Size that reading the log file with this id lays into the image: the
// library reads the first entry of an id.
uint32_t readSizeOf(const std::vector<_direntry>& entries, int count, unsigned id) {
    for (int i = 0; i < count; ++i)
        if (entries[static_cast<size_t>(i)].id == id) return entries[static_cast<size_t>(i)].size;
    return 0;
}

void work(DownloadRun& r) {
    const int unit = r.unit;
    auto going = [&r] {
        bool go = false;
        r.port.ifAttached([&] { go = r.values.downloadRunning.load(); });
        return go;
    };
    UnitConversation conversation(unit, going);
    if (!conversation.held()) return;

    ZELReframe(unit);
    if (!pauseWhile(2000, going)) return;
    std::vector<uint8_t> image;
    try {
        image.assign(r.setup.logBytes, 0xFF);
    } catch (const std::bad_alloc&) {
        return;
    }

    r.port.status("Retrieving status...");
    _ZEL_STATUS status{};
    bool ok = ZELStatus(unit, &status) != 0;
    if (!going()) return;
    r.port.status("Powering on...");
    if (!(status.b[1] & 1)) {
        const bool on = ZELPowerOn(unit) != 0;
        ok = ok && on;
    }
    if (!going()) return;
    ZELReframe(unit);
    r.port.status("Reading directory...");
    std::vector<_direntry> entries(kDirectoryListing);
    int directorySector = 0, count = 0;
    unsigned short sectorCount = 0;
    const int directory = ZELReadDirectory(unit, directorySector, sectorCount, entries.data(), count);
    ok = ok && directory == 1;
    if (!going()) return;
    if (!ok) {
        reportCommunicationError(r.values.unitHandle, unit, r.port);
        return;
    }

    std::vector<unsigned> logIds;
    for (int i = 0; i < count; ++i) {
        const _direntry& e = entries[static_cast<size_t>(i)];
        const unsigned id = e.id; // a packed field: taken by value
        if (e.type == kLogFileType) logIds.push_back(id);
    }
    const int files = static_cast<int>(logIds.size());
    // The files may have grown since the refresh that sized the image.
    size_t needed = 0;
    for (const unsigned id : logIds) needed += readSizeOf(entries, count, id);
    if (needed > image.size()) {
        try {
            image.resize(needed, 0xFF);
        } catch (const std::bad_alloc&) {
            return;
        }
    }

    size_t at = 0;
    int failedReads = 0;
    for (int k = 1; k <= files; ++k) {
        if (!going()) return;
        const unsigned id = logIds[static_cast<size_t>(k - 1)];
        const uint32_t size = readSizeOf(entries, count, id);
        r.port.status(format("Reading log file %d of %d", k, files));
        if (r.setup.logFileStep) {
            const LogFileStep step{k, files, static_cast<uint32_t>(at), size, static_cast<uint32_t>(image.size())};
            r.port.ifAttached([&] { r.setup.logFileStep(step); });
        }
        if (size == 0) continue; // nothing to read; a zero length would name a host file
        const size_t room = image.size() - at;
        unsigned int length = static_cast<unsigned int>(room);
        const int read = ZELReadDirectoryItemPartialByID(unit, id, reinterpret_cast<char*>(image.data() + at), &length);
        if (!going()) return;
        if (!read) {
            // Any failed read makes the download unsuccessful, so that no
            // clear follows and erases a log that was never saved.
            ok = false;
            ++failedReads;
            continue;
        }
        at += std::min<size_t>(length, room);
        if (!pauseWhile(500, going)) return;
    }

    std::string message;
    int records = 0;
    bool textWritten = false;
    if (files == 0) {
        message = "There were no logs to download";
        image.clear(); // nothing to copy into an existing raw image
    } else {
        const int length = static_cast<int>(image.size());
        int found = 0;
        parselog(image.data(), length, nullptr, &found);
        std::vector<LogRecord> parsed;
        if (found > 0) {
            try {
                parsed.resize(static_cast<size_t>(found));
            } catch (const std::bad_alloc&) {
                return;
            }
            // Only with room for them: the fill call writes every valid point
            // even when the count call held them back.
            int filled = found;
            parselog(image.data(), length, parsed.data(), &filled);
        }
        if (!going()) return;
        records = found;
        textWritten = writeTextFile(r, parsed);
        if (textWritten) {
            message = format("%d log records processed", found);
        } else {
            message = format("Can't write to file %s", r.logFilePath.c_str());
            ok = false;
        }
    }
    if (!r.port.ifAttached([&] { r.values.statusMessage = message; })) return;

    if (!going()) return;
    const std::string raw = rawImagePathBeside(r.logFilePath);
    const bool rawWritten = !raw.empty() && copyIntoExistingFile(raw, image);

    const int result = ok ? 1 : 0;
    const bool attached = r.port.ifAttached([&] {
        std::lock_guard<std::mutex> lock(r.reportMutex);
        r.report.result = result;
        r.report.logFiles = files;
        r.report.failedReads = failedReads;
        r.report.records = records;
        r.report.textWritten = textWritten;
        r.report.rawImagePath = rawWritten ? raw : std::string();
        if (r.setup.keepImage) r.report.image = std::move(image);
        ZELRegisterStatusWindow(unit, nullptr, 0);
    });
    if (!attached) return;
    image = std::vector<uint8_t>(); // freed before the dialog ends

    if (ok) {
        r.port.status("Complete");
        r.port.end(1);
    } else {
        r.port.status("Conversion unsuccessful");
        r.port.messageBox(message, "Conversion status", MessageIcon::Warning);
        r.port.end(0);
    }
}

} // namespace

DownloadProgress downloadProgressOf(const _ZEL_STATUS_RECORD& record) {
    return {format("Progress: %d ", record.position), record.range & 0xFFFF, record.position};
}

DownloadSetup downloadSetup(const UnitState& state, MergeOptions merge) {
    DownloadSetup setup;
    setup.logBytes = state.logBytes;
    setup.eeFamily = state.eeFamily;
    setup.merge = merge;
    return setup;
}

DownloadDialog::DownloadDialog(DownloadValues values, DownloadSetup setup, DialogLink link)
    : run_(std::make_shared<DownloadRun>(values, std::move(setup), std::move(link))) {
    run_->unit = values.unitHandle.load();
    run_->logFilePath = values.logFilePath;
    values.downloadRunning = true;
    ZELRegisterStatusWindow(run_->unit, run_->receiver.window(), 0);
    thread_ = std::thread([run = run_] {
        work(*run);
        run->end.markFinished();
    });
}

DownloadDialog::~DownloadDialog() {
    if (!run_->end.isFinished()) {
        cancel();
    } else if (!run_->port.isCut()) {
        run_->port.cut();
        // A worker that ended without ending the dialog left its registration.
        if (report().result < 0) ZELRegisterStatusWindow(run_->unit, nullptr, 0);
    }
    if (run_->end.isFinished())
        thread_.join();
    else
        thread_.detach(); // finishing a library call; it holds what it needs
}

void DownloadDialog::cancel() {
    if (run_->port.isCut()) return;
    using Clock = std::chrono::steady_clock;
    run_->values.downloadRunning = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(1000);
    ZELCancelIO(run_->unit);
    // A read that began just now clears the library's flag: ask again.
    while (!run_->end.waitFor(std::chrono::milliseconds(20)) && Clock::now() < deadline) ZELCancelIO(run_->unit);
    run_->port.cut();
    ZELRegisterStatusWindow(run_->unit, nullptr, 0);
    std::lock_guard<std::mutex> lock(run_->reportMutex);
    // Only a dialog the worker had not ended yet is cancelled.
    if (run_->report.result < 0) {
        run_->report.cancelled = true;
        run_->report.result = 0;
    }
}

bool DownloadDialog::waitUntilFinished(std::chrono::milliseconds timeout) { return run_->end.waitFor(timeout); }

bool DownloadDialog::finished() { return run_->end.isFinished(); }

DownloadReport DownloadDialog::report() {
    std::lock_guard<std::mutex> lock(run_->reportMutex);
    return run_->report;
}
