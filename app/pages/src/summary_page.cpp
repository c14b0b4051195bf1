// The Summary page: the program's version and what the last refresh read.
#include "pages.h"

#include "core_view.h"
#include "page_frame.h"
#include "resource.h"
#include "shell.h"

#include <cstdio>
#include <initializer_list>

void populateSummaryPage(HWND page) {
    char text[128];
    versionLabel(text, sizeof text);
    SetDlgItemTextA(page, IDC_VERSION_LABEL, text);
    if (unitHandle < 0) {
        for (int id : {IDC_FIRMWARE, IDC_LOGS, IDC_SERIAL, IDC_BYTES_USED, IDC_CPU}) SetDlgItemTextA(page, id, "None");
        SetDlgItemTextA(page, IDC_LOGGING_CAPABLE, "No");
        SetDlgItemTextA(page, IDC_CUSTOMER, "");
        return;
    }
    const UnitState& s = unitState;
    std::snprintf(text, sizeof text, "USB %d.%02d  CPU %d.%02d", s.usbVersionMajor, s.usbVersionMinor,
                  s.cpuVersionMajor, s.cpuVersionMinor);
    SetDlgItemTextA(page, IDC_FIRMWARE, text);
    std::snprintf(text, sizeof text, "%d files and %d bytes", s.logCount, static_cast<int>(s.logBytes));
    SetDlgItemTextA(page, IDC_LOGS, text);
    std::snprintf(text, sizeof text, "%05d", static_cast<int>(s.serialNumber));
    SetDlgItemTextA(page, IDC_SERIAL, text);
    std::snprintf(text, sizeof text, "%05d", static_cast<int>(s.logBytes + s.otherBytes));
    SetDlgItemTextA(page, IDC_BYTES_USED, text);
    std::snprintf(text, sizeof text, "%04X", s.cpuId);
    SetDlgItemTextA(page, IDC_CPU, text);
    SetDlgItemTextA(page, IDC_LOGGING_CAPABLE, s.loggingCapable ? "Yes" : "No");
    SetDlgItemTextA(page, IDC_CUSTOMER, s.groupedLayout ? "for Quillmere" : "");
}

INT_PTR CALLBACK summaryPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        populateSummaryPage(page);
        createTitleFont(page, IDC_SUMMARY_TITLE);
        return TRUE;
    case WM_DESTROY:
        deleteTitleFont(page);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            DestroyWindow(page);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}
