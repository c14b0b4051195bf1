// The main window: banner, tabs and pages, and following the unit as it is
// plugged in and pulled out.
#include "shell.h"

#include "pages.h"
#include "resource.h"
#include "unitlink.h"
#include "zelusb.h"

#include <commctrl.h>
#include <dbt.h>

#include <cstdio>
#include <cstring>

namespace {

HWND g_currentPage = nullptr;

struct PageKind {
    int dialog;
    DLGPROC procedure;
};

const PageKind kPages[] = {
    {IDD_SUMMARY, summaryPageProc},
    {IDD_CONFIGURE, configurePageProc},
    {IDD_DOWNLOAD_PAGE, downloadPageProc},
};

HWND tabs(HWND window) { return GetDlgItem(window, IDC_TABS); }

void showPage(HWND window, int index) {
    if (g_currentPage) DestroyWindow(g_currentPage);
    g_currentPage = nullptr;
    if (index < 0 || index > 2) return;
    g_currentPage =
        CreateDialogParamA(appInstance, MAKEINTRESOURCEA(kPages[index].dialog), tabs(window), kPages[index].procedure, 0);
    if (g_currentPage) ShowWindow(g_currentPage, SW_SHOW);
}

void onArrival(HWND window) {
    if (unitHandle != -1) return;
    if (deviceWorkRunning()) {
        deferArrival();
        return;
    }
    openNextUnit(unitHandle);
    runUnitRefresh(window);
    refreshDisplay(window);
}

// The notification names the device that went; only the open unit's own
// path, compared without regard to case, closes it.
void onRemoval(HWND window, LPARAM lParam) {
    if (unitHandle == -1 || lParam == 0) return;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE) return;
    const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(lParam);
    char path[256] = {};
    int length = sizeof path;
    if (!ZELGetDeviceString(unitHandle.load(), path, &length)) return;
    if (length < 1 || length > static_cast<int>(sizeof path)) return;
    const size_t nameRoom = record->dbcc_size > offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)
                                ? record->dbcc_size - offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)
                                : 0;
    if (nameRoom < static_cast<size_t>(length)) return;
    if (_strnicmp(path, record->dbcc_name, static_cast<size_t>(length)) != 0) return;
    // A worker still talking to the unit is stopped first: the unit must not
    // be closed under a conversation in progress.
    stopRunningWorker();
    closeUnit(unitHandle);
    refreshDisplay(window);
}

INT_PTR CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        mainWindow = window;
        ZELSetNotification(window, nullptr);
        const char* names[] = {"Summary", "Configure", "Download"};
        for (int i = 0; i < 3; ++i) {
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = const_cast<char*>(names[i]);
            SendMessageA(tabs(window), TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
        }
        showPage(window, 0);
        SetTimer(window, 1, 100, nullptr);
        return TRUE;
    }
    case WM_TIMER:
        if (wParam != 1) return FALSE;
        KillTimer(window, 1);
        openNextUnit(unitHandle);
        if (unitHandle != -1) runUnitRefresh(window);
        refreshDisplay(window);
        return TRUE;
    case WM_PAINT: {
        // The dialog's own painting erases the background, so it goes first
        // and the banner is drawn over it.
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        paintBanner(window);
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE) {
            showPage(window, static_cast<int>(SendMessageA(tabs(window), TCM_GETCURSEL, 0, 0)));
            return TRUE;
        }
        return FALSE;
    }
    case WM_DEVICECHANGE:
        if (wParam == DBT_DEVICEARRIVAL)
            onArrival(window);
        else if (wParam == DBT_DEVICEREMOVECOMPLETE)
            onRemoval(window, lParam);
        else
            std::printf("Device event %08X\n", static_cast<unsigned>(wParam));
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(window);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

void paintBanner(HWND window) {
    const bool connected = unitHandle >= 0;
    HDC dc = GetDC(window);
    if (!dc) return;
    HBRUSH brush = CreateSolidBrush(connected ? RGB(0, 255, 0) : RGB(255, 0, 0));
    RECT banner{10, 10, 515, 45};
    FillRect(dc, &banner, brush);
    HFONT font = CreateFontA(30, 0, 0, 0, 600, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, connected ? RGB(0, 0, 0) : RGB(255, 255, 255));
    const char* text = connected ? "  Bexo is connected" : "Bexo is disconnected";
    TextOutA(dc, 150, 15, text, static_cast<int>(std::strlen(text)));
    SelectObject(dc, oldFont);
    DeleteObject(font);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

void refreshDisplay(HWND window) {
    paintBanner(window);
    if (!g_currentPage) return;
    switch (SendMessageA(tabs(window), TCM_GETCURSEL, 0, 0)) {
    case 0: populateSummaryPage(g_currentPage); break;
    case 1: populateConfigurePage(g_currentPage); break;
    case 2: populateDownloadPage(g_currentPage); break;
    default: break;
    }
}

HWND createMainWindow() {
    return CreateDialogParamA(appInstance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainWindowProc, 0);
}
