#include "page_frame.h"

namespace {
const char kFontProperty[] = "BexoTitleFont";
}

void createTitleFont(HWND page, int titleControl) {
    HFONT font = CreateFontA(18, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    SetPropA(page, kFontProperty, font);
    SendDlgItemMessageA(page, titleControl, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void deleteTitleFont(HWND page) {
    HANDLE font = RemovePropA(page, kFontProperty);
    if (font) DeleteObject(font);
}

void enableControls(HWND page, const int* ids, int count, bool enabled) {
    for (int i = 0; i < count; ++i) EnableWindow(GetDlgItem(page, ids[i]), enabled ? TRUE : FALSE);
}
