// The Configure page: volume and battery-saver time, written by Apply.
#include "pages.h"

#include "core_view.h"
#include "page_frame.h"
#include "resource.h"
#include "shell.h"
#include "unit_dialogs.h"

#include <cstdio>
#include <cstdlib>

namespace {
const int kEditable[] = {IDC_MUTE, IDC_LOW, IDC_HIGH, IDC_MINUTES};
}

void populateConfigurePage(HWND page) {
    if (unitHandle >= 0 && unitState.unitConfigurable) {
        enableControls(page, kEditable, 4, true);
        // Units of the 0x82 families keep their battery-saver time.
        if (unitState.codedLayout) EnableWindow(GetDlgItem(page, IDC_MINUTES), FALSE);
        std::printf("vol %d\n", unitState.volume);
        CheckDlgButton(page, IDC_MUTE, unitState.volume == 0 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(page, IDC_LOW, unitState.volume == 1 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(page, IDC_HIGH, unitState.volume == 2 ? BST_CHECKED : BST_UNCHECKED);
        SetDlgItemInt(page, IDC_MINUTES, unitState.batterySaverSeconds / 60, TRUE);
    } else {
        enableControls(page, kEditable, 4, false);
    }
}

void readConfigurePage(HWND page) {
    unitState.volume = 0;
    if (IsDlgButtonChecked(page, IDC_MUTE) == BST_CHECKED) unitState.volume = 0;
    if (IsDlgButtonChecked(page, IDC_LOW) == BST_CHECKED) unitState.volume = 1;
    if (IsDlgButtonChecked(page, IDC_HIGH) == BST_CHECKED) unitState.volume = 2;
    BOOL read = FALSE;
    int minutes = static_cast<int>(GetDlgItemInt(page, IDC_MINUTES, &read, TRUE));
    if (!read) minutes = 0;
    if (minutes < 2) minutes = 2;
    if (minutes > 1080) minutes = 1080;
    unitState.batterySaverSeconds = static_cast<uint16_t>(minutes * 60);
}

INT_PTR CALLBACK configurePageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        populateConfigurePage(page);
        createTitleFont(page, IDC_CONFIGURE_TITLE);
        return TRUE;
    case WM_DESTROY:
        deleteTitleFont(page);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
            DestroyWindow(page);
            return TRUE;
        case IDC_APPLY:
            readConfigurePage(page);
            runSettingsDialog(page);
            runUnitRefresh(page);
            populateConfigurePage(page);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}
