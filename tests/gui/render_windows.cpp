// Renders BexoLogExport's windows for review: the main window on each page
// with and without a unit, and each dialog, as BMP files in the folder
// given (scripts/render_windows.sh turns them into PNG).
//   gui_render OUTDIR
#include "gui_driver.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace gui;

std::string g_out;

// The window as it is on the screen now, frame included.
bool capture(HWND window, const std::string& name) {
    if (!window) {
        std::fprintf(stderr, "render: no window for %s\n", name.c_str());
        return false;
    }
    Sleep(300); // let it finish painting
    RECT r;
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (!IsWindowVisible(window) || w <= 0 || h <= 0) {
        std::fprintf(stderr, "render: %s was gone before it could be taken\n", name.c_str());
        return false;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const int rowBytes = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rowBytes * h);
    std::ofstream out(g_out + "\\" + name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), rowBytes * h);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::printf("%s\n", name.c_str());
    return true;
}

void capturePages(const Program& p, const std::string& prefix) {
    const char* names[] = {"summary", "configure", "download"};
    for (int i = 0; i < 3; ++i) {
        selectTab(p, i);
        Sleep(200);
        capture(p.main, prefix + "-" + names[i]);
    }
    selectTab(p, 0);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gui_render OUTDIR\n");
        return 2;
    }
    g_out = argv[1];
    {
        auto p = start({});
        eventually([&] { return clientPixel(*p, 12, 12) == RGB(255, 0, 0); });
        capturePages(*p, "main-no-unit");
        p->close();
    }
    {
        UnitFolder unit(0x8100, false);
        auto p = start({&unit}, true); // real waits: the refresh dialog stays up for two seconds
        eventually([&] { return clientPixel(*p, 12, 12) == RGB(255, 0, 0); });
        unit.plug();
        HWND refresh = waitForWindow(*p, "Communicating with Bexo");
        Sleep(600);
        capture(refresh, "dialog-109-communicating");
        eventually([&] { return clientPixel(*p, 12, 12) == RGB(0, 255, 0); });
        Sleep(500);
        capturePages(*p, "main-unit");
        // The save dialog of the Download page.
        selectTab(*p, 2);
        Sleep(200);
        click(currentPage(*p), 1013);
        HWND save = waitForWindow(*p, "Save Bexo log", 5000);
        capture(save, "dialog-save");
        if (save) PostMessageA(save, WM_COMMAND, IDCANCEL, 0);
        windowGone(*p, "Save Bexo log", 5000);
        p->close();
    }
    {
        // A download under way, and its result.
        UnitSpec spec;
        spec.timing = true;
        UnitFolder unit(spec);
        unit.addLogs();
        auto p = start({&unit});
        eventually([&] { return clientPixel(*p, 12, 12) == RGB(0, 255, 0); }, 15000);
        windowGone(*p, "Communicating with Bexo", 15000);
        selectTab(*p, 2);
        Sleep(300);
        click(currentPage(*p), 1013);
        const std::string file = (std::filesystem::temp_directory_path() / "bexo-render.txt").string();
        if (saveAs(*p, file)) {
            HWND download = waitForWindow(*p, "Download");
            if (download) {
                eventually([&] { return text(download, 1015).rfind("Reading log file", 0) == 0; }, 60000);
                Sleep(1500);
                capture(download, "dialog-108-download");
            }
            HWND box = waitForWindow(*p, "Download status", 120000);
            capture(box, "box-download-status");
            if (box) answer(box);
        }
        // A name in a folder that does not exist.
        click(currentPage(*p), 1013);
        if (saveAs(*p, "Z:\\no-such-folder\\x.txt")) {
            HWND box = waitForWindow(*p, "Error", 5000);
            capture(box, "box-invalid-file-name");
            if (box) answer(box);
        } else {
            HWND save = findWindow(*p, "Save Bexo log");
            capture(save, "dialog-save-refuses-folder");
            if (save) PostMessageA(save, WM_COMMAND, IDCANCEL, 0);
        }
        p->close();
    }
    {
        // The communication error over the refresh.
        UnitFolder unit;
        unit.fault("wrong-code,wrong-code,wrong-code,wrong-code,wrong-code,wrong-code,wrong-code,wrong-code");
        auto p = start({&unit});
        HWND box = waitForWindow(*p, "Error", 20000);
        capture(box, "box-communication-error");
        if (box) answer(box);
        Sleep(500);
        capture(p->main, "main-after-communication-error");
        p->close();
    }
    return 0;
}
