// BexoLogExport's entry point and message loop.
#include "shell.h"

#include "pages.h"
#include "resource.h"
#include "zelusb.h"

#include <commctrl.h>

HWND createMainWindow();

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    appInstance = instance;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    ZELDLLInitialize();

    HWND window = createMainWindow();
    if (!window) return 1;
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_BEXO));
    SetClassLongPtrA(window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
    HICON small = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_BEXO), IMAGE_ICON, 16, 16, 0));
    if (small) SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    ShowWindow(window, showCommand);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    // The window is gone but a worker may still be inside a call to the
    // unit: it is cancelled and waited for, so no thread talks to the unit
    // while the process ends.
    stopRunningWorker();
    return static_cast<int>(message.wParam);
}
