// The Configure page: volume and battery-saver time, written by Apply.
#include "pages.h"

#include "page_frame.h"
#include "resource.h"
#include "shell.h"
#include "unit_dialogs.h"
#include "unitsettings.h"

#include <string>

namespace {
const int kEditable[] = {IDC_MUTE, IDC_LOW, IDC_HIGH};
}

void populateConfigurePage(HWND page) {
    const ConfigureView view = configureView(unitState, unitHandle >= 0);
    enableControls(page, kEditable, 3, view.volumeEnabled);
    EnableWindow(GetDlgItem(page, IDC_MINUTES), view.minutesEnabled ? TRUE : FALSE);
    if (!view.volumeEnabled) return;
    CheckDlgButton(page, IDC_MUTE, view.markedVolume == 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_LOW, view.markedVolume == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(page, IDC_HIGH, view.markedVolume == 2 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextA(page, IDC_MINUTES, view.minutes.c_str());
}

void readConfigurePage(HWND page) {
    char minutes[64] = {};
    GetDlgItemTextA(page, IDC_MINUTES, minutes, sizeof minutes);
    readConfigureChoice(unitState, IsDlgButtonChecked(page, IDC_MUTE) == BST_CHECKED,
                        IsDlgButtonChecked(page, IDC_LOW) == BST_CHECKED,
                        IsDlgButtonChecked(page, IDC_HIGH) == BST_CHECKED, minutes);
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
