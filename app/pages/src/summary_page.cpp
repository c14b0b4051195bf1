// The Summary page: the program's version and what the last refresh read.
#include "pages.h"

#include "page_frame.h"
#include "resource.h"
#include "shell.h"
#include "summarytexts.h"

void populateSummaryPage(HWND page) {
    SummaryTexts t = summaryTexts(unitState, unitHandle >= 0);
    t.versionLabel = versionLabel(programFileVersion().c_str());
    SetDlgItemTextA(page, IDC_VERSION_LABEL, t.versionLabel.c_str());
    SetDlgItemTextA(page, IDC_FIRMWARE, t.versions.c_str());
    SetDlgItemTextA(page, IDC_CUSTOMER, t.customerMark.c_str());
    SetDlgItemTextA(page, IDC_CPU, t.cpu.c_str());
    SetDlgItemTextA(page, IDC_LOGGING_CAPABLE, t.loggingCapable.c_str());
    SetDlgItemTextA(page, IDC_SERIAL, t.serialNumber.c_str());
    SetDlgItemTextA(page, IDC_BYTES_USED, t.bytesUsed.c_str());
    SetDlgItemTextA(page, IDC_LOGS, t.logs.c_str());
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
