// The Download page: the merge options and the three actions on the unit.
#include "pages.h"

#include "page_frame.h"
#include "resource.h"
#include "shell.h"
#include "textexport.h"
#include "unit_dialogs.h"

#include <commdlg.h>

#include <cstdio>

namespace {

const int kActions[] = {IDC_MERGE_DEAD, IDC_MERGE_CROSSING, IDC_DOWNLOAD_RETAIN, IDC_DOWNLOAD_CLEAR, IDC_CLEAR_ONLY};

void showStatusBox(HWND page) {
    MessageBoxA(page, statusMessage.c_str(), "Download status", MB_OK | MB_ICONINFORMATION);
    statusMessage.clear();
}

void clearFlow(HWND page, bool showBox) {
    runPreparationDialog(page);
    if (!IsWindow(page)) return;
    runUnitRefresh(page);
    populateDownloadPage(page);
    if (showBox) showStatusBox(page);
}

void downloadFlow(HWND page, bool clearAfterwards) {
    char name[300] = {};
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = page;
    dialog.lpstrFilter = "Text files (*.TXT)\0*.txt\0";
    dialog.lpstrFile = name;
    dialog.nMaxFile = sizeof name;
    dialog.lpstrTitle = "Save Bexo log";
    dialog.lpstrDefExt = "txt";
    if (!GetSaveFileNameA(&dialog)) return;

    FILE* probe = std::fopen(name, "a+");
    if (!probe) {
        MessageBoxA(page, "Please enter a valid file name", "Error", MB_OK | MB_ICONERROR);
        return;
    }
    std::fclose(probe);
    logFilePath = name;

    // The program may have been closed meanwhile, and the page with it.
    if (runDownloadDialog(page) == 0 || !IsWindow(page)) return;
    if (clearAfterwards) clearFlow(page, false);
    if (IsWindow(page)) showStatusBox(page);
}

} // namespace

void populateDownloadPage(HWND page) {
    const bool usable = unitHandle >= 0 && unitState.unitConfigurable;
    enableControls(page, kActions, 5, usable);
    if (usable) {
        CheckDlgButton(page, IDC_MERGE_DEAD, mergeDeadWildlife ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(page, IDC_MERGE_CROSSING, mergeCrossingWildlife ? BST_CHECKED : BST_UNCHECKED);
    }
}

INT_PTR CALLBACK downloadPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        populateDownloadPage(page);
        createTitleFont(page, IDC_DOWNLOAD_TITLE);
        statusMessage.clear();
        return TRUE;
    case WM_DESTROY:
        deleteTitleFont(page);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            DestroyWindow(page);
            return TRUE;
        case IDC_MERGE_DEAD:
            mergeDeadWildlife = IsDlgButtonChecked(page, IDC_MERGE_DEAD) == BST_CHECKED;
            return TRUE;
        case IDC_MERGE_CROSSING:
            mergeCrossingWildlife = IsDlgButtonChecked(page, IDC_MERGE_CROSSING) == BST_CHECKED;
            return TRUE;
        case IDC_DOWNLOAD_RETAIN:
            downloadFlow(page, false);
            return TRUE;
        case IDC_DOWNLOAD_CLEAR:
            downloadFlow(page, true);
            return TRUE;
        case IDC_CLEAR_ONLY:
            clearFlow(page, true);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
