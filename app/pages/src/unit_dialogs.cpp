// The Win32 side of the dialogs inside which the core talks to the unit. A
// worker never waits for the user-interface thread: what it shows is posted
// to its dialog, so a Cancel, which cuts the worker off from the dialog,
// never waits on a worker that waits on it.
#include "unit_dialogs.h"

#include "downloadworker.h"
#include "logspaceworker.h"
#include "pages.h"
#include "resource.h"
#include "shell.h"
#include "textexport.h"
#include "unitsettings.h"
#include "zelusb.h"

#include <commctrl.h>

#include <list>
#include <memory>
#include <mutex>
#include <string>

std::string logFilePath;
std::string statusMessage;
std::atomic<bool> downloadRunning{false};

namespace {

constexpr UINT kShow = WM_APP + 1;
constexpr UINT kEndDialog = WM_APP + 2;

UINT iconFlags(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information: return MB_ICONINFORMATION;
    case MessageIcon::Warning: return MB_ICONWARNING;
    case MessageIcon::Error: return MB_ICONERROR;
    }
    return 0;
}

// ---- dialog 109 on the user-interface thread ---------------------------------

DialogLink foregroundLink(HWND dialog) {
    DialogLink link;
    link.status = [dialog](const std::string& text) { SetDlgItemTextA(dialog, IDC_COMM_STATUS, text.c_str()); };
    link.progressRange = [dialog](int maximum) {
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETRANGE32, 0, maximum);
    };
    link.progressPosition = [dialog](int position) {
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETPOS, position, 0);
    };
    link.messageBox = [dialog](const std::string& text, const std::string& caption, MessageIcon icon) {
        MessageBoxA(dialog, text.c_str(), caption.c_str(), MB_OK | iconFlags(icon));
    };
    link.end = [dialog](int result) { EndDialog(dialog, result); };
    return link;
}

enum class Foreground { Refresh, Settings };

INT_PTR CALLBACK foregroundProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETRANGE32, 0, 6);
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETPOS, 0, 0);
        SetTimer(dialog, 1, 100, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam != 1) return FALSE;
        KillTimer(dialog, 1);
        // The core's dialog sequence: the work, position 6, 100 ms, the end.
        if (static_cast<Foreground>(GetWindowLongPtrA(dialog, DWLP_USER)) == Foreground::Refresh)
            runUnitRefresh(unitHandle, unitState, foregroundLink(dialog));
        else
            runSettingsDialog(unitHandle, unitState, foregroundLink(dialog));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_DL_CANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// ---- the workers' dialogs ------------------------------------------------------

// What a worker posted for its dialog, and whether a message box of the
// worker's is open over it.
struct Posted {
    HWND dialog = nullptr;
    int statusId = 0, progressId = 0, progressTextId = 0;
    std::mutex mutex;
    std::string status;
    bool statusChanged = false;
    int range = -1, position = -1;
    std::string progressText;
    bool boxOpen = false;
    bool cancelWaiting = false; // Cancel pressed while the box was open
    bool endedByWorker = false; // on the user-interface thread only
};

void post(const std::shared_ptr<Posted>& p) { PostMessageA(p->dialog, kShow, 0, 0); }

DialogLink workerLink(const std::shared_ptr<Posted>& p) {
    DialogLink link;
    link.status = [p](const std::string& text) {
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            p->status = text;
            p->statusChanged = true;
        }
        post(p);
    };
    link.progressRange = [p](int maximum) {
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            p->range = maximum;
        }
        post(p);
    };
    link.progressPosition = [p](int position) {
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            p->position = position;
        }
        post(p);
    };
    link.messageBox = [p](const std::string& text, const std::string& caption, MessageIcon icon) {
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            p->boxOpen = true;
        }
        MessageBoxA(p->dialog, text.c_str(), caption.c_str(), MB_OK | iconFlags(icon));
        bool cancel;
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            p->boxOpen = false;
            cancel = p->cancelWaiting;
        }
        if (cancel) PostMessageA(p->dialog, WM_COMMAND, IDCANCEL, 0);
    };
    link.end = [p](int result) { PostMessageA(p->dialog, kEndDialog, static_cast<WPARAM>(result), 0); };
    if (p->progressTextId) {
        link.libraryStatus = [p](const _ZEL_STATUS_RECORD& record) {
            const DownloadProgress progress = downloadProgressOf(record);
            {
                std::lock_guard<std::mutex> lock(p->mutex);
                p->progressText = progress.text;
                p->range = progress.range;
                p->position = progress.position;
            }
            post(p);
        };
    }
    return link;
}

void show(Posted& p) {
    std::lock_guard<std::mutex> lock(p.mutex);
    if (p.statusChanged) SetDlgItemTextA(p.dialog, p.statusId, p.status.c_str());
    if (!p.progressText.empty()) SetDlgItemTextA(p.dialog, p.progressTextId, p.progressText.c_str());
    if (p.range >= 0) SendDlgItemMessageA(p.dialog, p.progressId, PBM_SETRANGE32, 0, p.range);
    if (p.position >= 0) SendDlgItemMessageA(p.dialog, p.progressId, PBM_SETPOS, p.position, 0);
    p.statusChanged = false;
    p.progressText.clear();
    p.range = p.position = -1;
}

// True when Cancel has to wait: the worker's message box is open, and the
// worker cannot be cut off from the dialog until it is dismissed.
bool deferCancel(Posted& p) {
    std::lock_guard<std::mutex> lock(p.mutex);
    if (!p.boxOpen) return false;
    p.cancelWaiting = true;
    return true;
}

struct RunningDownload {
    std::shared_ptr<Posted> posted;
    std::unique_ptr<DownloadDialog> worker;
};
struct RunningClear {
    std::shared_ptr<Posted> posted;
    std::unique_ptr<LogSpaceDialog> worker;
};

std::unique_ptr<RunningDownload> g_download;
std::unique_ptr<RunningClear> g_clear;
// Cancelled downloads whose worker has not yet returned from its library
// call; kept until it has.
std::list<std::unique_ptr<RunningDownload>> g_cancelled;

// Waits, serving messages sent to this thread, until `done` holds.
template <class F> void waitServing(F done) {
    while (!done()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
        MSG m;
        PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void reapCancelled(bool wait) {
    for (auto it = g_cancelled.begin(); it != g_cancelled.end();) {
        if (wait) waitServing([&] { return (*it)->worker->finished(); });
        if ((*it)->worker->finished())
            it = g_cancelled.erase(it);
        else
            ++it;
    }
}

INT_PTR CALLBACK downloadProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        g_download = std::make_unique<RunningDownload>();
        g_download->posted = std::make_shared<Posted>();
        Posted& p = *g_download->posted;
        p.dialog = dialog;
        p.statusId = IDC_DL_STATUS;
        p.progressId = IDC_DL_PROGRESS;
        p.progressTextId = IDC_DL_PROGRESS_TEXT;
        g_download->worker = std::make_unique<DownloadDialog>(
            DownloadValues{unitHandle, logFilePath, statusMessage, downloadRunning},
            downloadSetup(unitState, mergeOptions()), workerLink(g_download->posted));
        return TRUE;
    }
    case kShow:
        if (g_download) show(*g_download->posted);
        return TRUE;
    case kEndDialog:
        if (g_download) g_download->posted->endedByWorker = true;
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_DL_CANCEL) {
            if (g_download && deferCancel(*g_download->posted)) return TRUE;
            if (g_download) g_download->worker->cancel();
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK preparationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        g_clear = std::make_unique<RunningClear>();
        g_clear->posted = std::make_shared<Posted>();
        Posted& p = *g_clear->posted;
        p.dialog = dialog;
        p.statusId = IDC_COMM_STATUS;
        p.progressId = IDC_COMM_PROGRESS;
        g_clear->worker = std::make_unique<LogSpaceDialog>(LogSpaceValues{unitHandle, statusMessage}, unitState,
                                                           workerLink(g_clear->posted));
        return TRUE;
    }
    case kShow:
        if (g_clear) show(*g_clear->posted);
        return TRUE;
    case kEndDialog:
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        return TRUE;
    case WM_COMMAND:
        // Escape would let the page start its refresh beside a worker still
        // talking to the unit: it counts only once the worker has returned
        // (after a failure it reported, the dialog stays open for it).
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_DL_CANCEL) {
            if (!g_clear || g_clear->worker->waitUntilFinished(std::chrono::milliseconds(0))) EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void runUnitRefresh(HWND owner) {
    reapCancelled(false);
    beginDeviceWork();
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_COMMUNICATING), owner, foregroundProc,
                    static_cast<LPARAM>(Foreground::Refresh));
    endDeviceWork();
}

void runSettingsDialog(HWND owner) {
    reapCancelled(false);
    beginDeviceWork();
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_COMMUNICATING), owner, foregroundProc,
                    static_cast<LPARAM>(Foreground::Settings));
    endDeviceWork();
}

void runPreparationDialog(HWND owner) {
    reapCancelled(false);
    beginDeviceWork();
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_COMMUNICATING), owner, preparationProc, 0);
    // The dialog went with the program's window: the worker stops at its
    // next step. Otherwise it has returned or is about to.
    if (g_clear && !IsWindow(owner)) g_clear->worker->stop();
    if (g_clear) waitServing([] { return g_clear->worker->waitUntilFinished(std::chrono::milliseconds(0)); });
    g_clear.reset();
    endDeviceWork();
}

INT_PTR runDownloadDialog(HWND owner) {
    reapCancelled(false);
    beginDeviceWork();
    const INT_PTR result =
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_DOWNLOAD_PROGRESS), owner, downloadProc, 0);
    if (g_download) {
        if (g_download->posted->endedByWorker) {
            // It ended its dialog as its last step: its result is complete
            // once it has returned.
            waitServing([] { return g_download->worker->finished(); });
            g_download.reset();
        } else {
            // Cancelled, or its dialog went with the program's window.
            if (!g_download->worker->finished()) g_download->worker->cancel();
            g_cancelled.push_back(std::move(g_download));
        }
    }
    reapCancelled(false);
    endDeviceWork();
    return result;
}

void stopRunningWorker() {
    if (g_download) {
        HWND dialog = g_download->posted->dialog;
        if (!deferCancel(*g_download->posted)) {
            g_download->worker->cancel();
            // Its dialog closes as after Cancel.
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        }
    }
    if (g_clear) {
        if (!IsWindow(mainWindow)) g_clear->worker->stop();
        waitServing([] { return g_clear->worker->waitUntilFinished(std::chrono::milliseconds(0)); });
    }
    reapCancelled(true);
}
