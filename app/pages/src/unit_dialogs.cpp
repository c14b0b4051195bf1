// The Win32 side of the dialogs that talk to the unit. A worker never waits
// for the user-interface thread: what it shows is posted to its dialog, and
// once the dialog has let it go (Cancel) nothing of it reaches the window.
#include "unit_dialogs.h"

#include "pages.h"
#include "resource.h"
#include "shell.h"
#include "unit_work.h"
#include "zelusb.h"

#include <commctrl.h>

#include <memory>
#include <mutex>
#include <string>

volatile bool downloadRunning = false;

namespace {

constexpr UINT kShowStatus = WM_APP + 1;
constexpr UINT kShowProgress = WM_APP + 2;
constexpr UINT kEndDialog = WM_APP + 3;
constexpr UINT kStatusRecord = ZEL_STATUS_MESSAGE;

// Shared by a dialog and its worker; the last of the two frees it.
struct DialogShare {
    HWND dialog = nullptr;
    int statusId = 0;
    int progressId = 0;
    bool onWorker = false;
    std::mutex mutex;
    bool released = false; // the dialog no longer listens
    std::string status;
    int range = -1;
    int position = -1;
    bool cancelRequested = false;
};

DialogShare* share(void* context) { return static_cast<DialogShare*>(context); }

void linkStatus(void* context, const char* text) {
    DialogShare* s = share(context);
    if (!s->onWorker) {
        SetDlgItemTextA(s->dialog, s->statusId, text);
        return;
    }
    std::lock_guard<std::mutex> lock(s->mutex);
    if (s->released) return;
    s->status = text;
    PostMessageA(s->dialog, kShowStatus, 0, 0);
}

void linkRange(void* context, int maximum) {
    DialogShare* s = share(context);
    if (!s->onWorker) {
        SendDlgItemMessageA(s->dialog, s->progressId, PBM_SETRANGE32, 0, maximum);
        return;
    }
    std::lock_guard<std::mutex> lock(s->mutex);
    if (s->released) return;
    s->range = maximum;
    PostMessageA(s->dialog, kShowProgress, 0, 0);
}

void linkPosition(void* context, int position) {
    DialogShare* s = share(context);
    if (!s->onWorker) {
        SendDlgItemMessageA(s->dialog, s->progressId, PBM_SETPOS, position, 0);
        return;
    }
    std::lock_guard<std::mutex> lock(s->mutex);
    if (s->released) return;
    s->position = position;
    PostMessageA(s->dialog, kShowProgress, 0, 0);
}

bool released(DialogShare* s) {
    std::lock_guard<std::mutex> lock(s->mutex);
    return s->released;
}

void linkMessageBox(void* context, const char* text, const char* caption, unsigned iconFlags) {
    DialogShare* s = share(context);
    if (s->onWorker && released(s)) return;
    MessageBoxA(s->dialog, text, caption, MB_OK | iconFlags);
}

void linkCommunicationError(void* context) {
    DialogShare* s = share(context);
    if (s->onWorker && released(s)) return;
    reportCommunicationError(s->dialog);
}

void linkEnd(void* context, int result) {
    DialogShare* s = share(context);
    if (!s->onWorker) {
        EndDialog(s->dialog, result);
        return;
    }
    std::lock_guard<std::mutex> lock(s->mutex);
    if (!s->released) PostMessageA(s->dialog, kEndDialog, static_cast<WPARAM>(result), 0);
}

bool linkCancelled(void* context) {
    DialogShare* s = share(context);
    std::lock_guard<std::mutex> lock(s->mutex);
    return s->cancelRequested;
}

DialogLink linkOf(DialogShare* s) {
    return DialogLink{s,       linkStatus,      linkRange, linkPosition, linkMessageBox, linkCommunicationError,
                      linkEnd, linkCancelled};
}

// Shows what the worker posted.
void showPosted(DialogShare* s, UINT message) {
    std::lock_guard<std::mutex> lock(s->mutex);
    if (message == kShowStatus) SetDlgItemTextA(s->dialog, s->statusId, s->status.c_str());
    if (message == kShowProgress) {
        if (s->range >= 0) SendDlgItemMessageA(s->dialog, s->progressId, PBM_SETRANGE32, 0, s->range);
        if (s->position >= 0) SendDlgItemMessageA(s->dialog, s->progressId, PBM_SETPOS, s->position, 0);
        s->range = s->position = -1;
    }
}

// ---- workers -------------------------------------------------------------

struct Worker {
    HANDLE thread = nullptr;
    std::shared_ptr<DialogShare> share;
    void (*sequence)(DialogLink&) = nullptr;
};

// The one worker that may be running: the current one, or one whose dialog
// was cancelled and that has not yet reached its next step.
Worker g_worker;

DWORD WINAPI workerMain(LPVOID parameter) {
    auto* job = static_cast<Worker*>(parameter);
    std::shared_ptr<DialogShare> keep = job->share;
    void (*sequence)(DialogLink&) = job->sequence;
    delete job;
    DialogLink link = linkOf(keep.get());
    sequence(link);
    return 0;
}

bool startWorker(const std::shared_ptr<DialogShare>& s, void (*sequence)(DialogLink&)) {
    auto* job = new Worker{nullptr, s, sequence};
    HANDLE thread = CreateThread(nullptr, 0, workerMain, job, 0, nullptr);
    if (!thread) {
        delete job;
        return false;
    }
    g_worker.thread = thread;
    g_worker.share = s;
    return true;
}

// Waits for the worker's thread, serving messages sent to this thread
// meanwhile (a message box of the worker's disables its owner by a sent
// message). INFINITE or a time in ms; true when it has ended.
bool waitForWorker(DWORD timeoutMs) {
    if (!g_worker.thread) return true;
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            const DWORD spent = GetTickCount() - start;
            if (spent >= timeoutMs) return false;
            left = timeoutMs - spent;
        }
        const DWORD r = MsgWaitForMultipleObjects(1, &g_worker.thread, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) break;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG m;
            PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        if (r == WAIT_TIMEOUT) return false;
    }
    CloseHandle(g_worker.thread);
    g_worker.thread = nullptr;
    g_worker.share.reset();
    return true;
}

void requestCancel(DialogShare* s) {
    std::lock_guard<std::mutex> lock(s->mutex);
    s->cancelRequested = true;
}

void release(DialogShare* s) {
    std::lock_guard<std::mutex> lock(s->mutex);
    s->released = true;
}

std::shared_ptr<DialogShare> newShare(HWND dialog, int statusId, int progressId, bool onWorker) {
    auto s = std::make_shared<DialogShare>();
    s->dialog = dialog;
    s->statusId = statusId;
    s->progressId = progressId;
    s->onWorker = onWorker;
    return s;
}

// ---- dialog 109 on the user-interface thread ---------------------------------

struct ForegroundJob {
    void (*sequence)(DialogLink&);
};

INT_PTR CALLBACK foregroundProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETRANGE32, 0, 6);
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETPOS, 0, 0);
        SetTimer(dialog, 1, 100, nullptr);
        return TRUE;
    case WM_TIMER: {
        if (wParam != 1) return FALSE;
        KillTimer(dialog, 1);
        auto* job = reinterpret_cast<ForegroundJob*>(GetWindowLongPtrA(dialog, DWLP_USER));
        auto s = newShare(dialog, IDC_COMM_STATUS, IDC_COMM_PROGRESS, false);
        DialogLink link = linkOf(s.get());
        job->sequence(link);
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETPOS, 6, 0);
        Sleep(100);
        EndDialog(dialog, 0);
        return TRUE;
    }
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

void runForeground(HWND owner, void (*sequence)(DialogLink&)) {
    waitForWorker(INFINITE);
    ForegroundJob job{sequence};
    beginDeviceWork();
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_COMMUNICATING), owner, foregroundProc,
                    reinterpret_cast<LPARAM>(&job));
    endDeviceWork();
}

// ---- dialog 109 with the log-space worker ------------------------------------

INT_PTR CALLBACK preparationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETRANGE32, 0, 6);
        SendDlgItemMessageA(dialog, IDC_COMM_PROGRESS, PBM_SETPOS, 0, 0);
        ZELRegisterStatusWindow(unitHandle, dialog, 0);
        auto s = newShare(dialog, IDC_COMM_STATUS, IDC_COMM_PROGRESS, true);
        if (!startWorker(s, prepareLogSpaceSequence)) EndDialog(dialog, 0);
        return TRUE;
    }
    case kShowStatus:
    case kShowProgress:
        if (g_worker.share) showPosted(g_worker.share.get(), message);
        return TRUE;
    case kEndDialog:
        waitForWorker(INFINITE);
        ZELRegisterStatusWindow(unitHandle, nullptr, 0);
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        return TRUE;
    case kStatusRecord:
        ZELFreeStatusBuffer(reinterpret_cast<void*>(lParam));
        return TRUE;
    case WM_COMMAND:
        // Escape would let the page start its refresh while the worker still
        // talks to the unit: it waits for the worker's own end instead.
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_DL_CANCEL) {
            if (!g_worker.thread || WaitForSingleObject(g_worker.thread, 0) == WAIT_OBJECT_0) {
                waitForWorker(INFINITE);
                ZELRegisterStatusWindow(unitHandle, nullptr, 0);
                EndDialog(dialog, 0);
            }
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

// ---- dialog 108 with the download worker -------------------------------------

// Cancel: the worker is told, and the library's operation in progress too;
// the dialog waits at most a second for it and then lets it go without
// killing it. It finishes its current step alone and shows nothing more.
void cancelDownload(HWND dialog) {
    downloadRunning = false;
    if (g_worker.share) requestCancel(g_worker.share.get());
    ZELCancelIO(unitHandle);
    if (!waitForWorker(1000) && g_worker.share) release(g_worker.share.get());
    ZELRegisterStatusWindow(unitHandle, nullptr, 0);
    EndDialog(dialog, 0);
}

INT_PTR CALLBACK downloadProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        downloadRunning = true;
        ZELRegisterStatusWindow(unitHandle, dialog, 0);
        auto s = newShare(dialog, IDC_DL_STATUS, IDC_DL_PROGRESS, true);
        if (!startWorker(s, downloadSequence)) EndDialog(dialog, 0);
        return TRUE;
    }
    case kShowStatus:
    case kShowProgress:
        if (g_worker.share) showPosted(g_worker.share.get(), message);
        return TRUE;
    case kEndDialog:
        waitForWorker(INFINITE);
        ZELRegisterStatusWindow(unitHandle, nullptr, 0);
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        return TRUE;
    case kStatusRecord: {
        auto* record = reinterpret_cast<_ZEL_STATUS_RECORD*>(lParam);
        if (!record) return TRUE;
        char text[64];
        wsprintfA(text, "Progress: %d ", record->position);
        SetDlgItemTextA(dialog, IDC_DL_PROGRESS_TEXT, text);
        SendDlgItemMessageA(dialog, IDC_DL_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, record->range & 0xFFFF));
        SendDlgItemMessageA(dialog, IDC_DL_PROGRESS, PBM_SETPOS, record->position, 0);
        ZELFreeStatusBuffer(record);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_DL_CANCEL) {
            cancelDownload(dialog);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void runUnitRefresh(HWND owner) { runForeground(owner, refreshUnitSequence); }

void runSettingsDialog(HWND owner) { runForeground(owner, writeSettingsSequence); }

void runPreparationDialog(HWND owner) {
    waitForWorker(INFINITE);
    beginDeviceWork();
    DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_COMMUNICATING), owner, preparationProc, 0);
    endDeviceWork();
}

INT_PTR runDownloadDialog(HWND owner) {
    waitForWorker(INFINITE);
    beginDeviceWork();
    const INT_PTR result =
        DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_DOWNLOAD_PROGRESS), owner, downloadProc, 0);
    endDeviceWork();
    return result;
}

void stopRunningWorker() {
    if (!g_worker.thread) return;
    downloadRunning = false;
    HWND dialog = nullptr;
    if (g_worker.share) {
        dialog = g_worker.share->dialog;
        requestCancel(g_worker.share.get());
        release(g_worker.share.get());
    }
    ZELCancelIO(unitHandle);
    waitForWorker(INFINITE);
    // Its dialog, if still open, closes as after Cancel.
    if (dialog && IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}
