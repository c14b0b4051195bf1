#include "gui_driver.h"

#include "vfactory/layout.h"
#include "vstore/folder.h"

#include <commctrl.h>

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

namespace gui {

namespace {

std::filesystem::path freshFolder() {
    static const std::string run = std::to_string(std::random_device{}());
    static std::atomic<int> counter{0};
    return std::filesystem::temp_directory_path() / ("bexo-gui-" + run) / ("unit" + std::to_string(counter++));
}

struct FindContext {
    DWORD pid;
    const char* caption;
    HWND found;
};

BOOL CALLBACK findTopLevel(HWND window, LPARAM parameter) {
    auto* f = reinterpret_cast<FindContext*>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != f->pid || !IsWindowVisible(window)) return TRUE;
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (std::string(caption) != f->caption) return TRUE;
    f->found = window;
    return FALSE;
}

BOOL CALLBACK findPage(HWND window, LPARAM parameter) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(parameter) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

UnitFolder::UnitFolder(uint16_t family, bool plugged) : UnitFolder(UnitSpec{family, 42, 1, 1800, plugged, false}) {}

UnitFolder::UnitFolder(const UnitSpec& spec) : dir(freshFolder()) {
    std::filesystem::remove_all(dir);
    vfactory::UnitDescription d = vfactory::defaultDescription();
    d.eeprom.family = spec.family;
    d.eeprom.serial = spec.serial;
    d.eeprom.volume = spec.volume;
    d.eeprom.batterySaverSeconds = spec.batterySaverSeconds;
    const vunit::Storage storage = vfactory::buildUnit(d);
    std::filesystem::create_directories(dir);
    if (!spec.plugged) unplug();
    vunit::FolderOptions options;
    options.timing = spec.timing;
    vunit::createUnitFolder(dir, d.identity, storage, options);
}

namespace {
std::string windowsPathOf(const std::string& linuxPath) {
    std::string path = "Z:" + linuxPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
} // namespace

void UnitFolder::addLogs(const char* track) {
    std::string output;
    const std::string gpx = windowsPathOf(std::string(BEXO_TEST_DATA) + "/tracks/" + track);
    if (runTool("bexo-sim.exe", "add-logs \"" + dir.string() + "\" \"" + gpx + "\"", &output) != 0)
        throw std::runtime_error("bexo-sim add-logs failed: " + output);
}

void UnitFolder::fault(const std::string& spec) {
    std::string output;
    if (runTool("bexo-sim.exe", "fault \"" + dir.string() + "\" " + spec, &output) != 0)
        throw std::runtime_error("bexo-sim fault failed: " + output);
}

std::string UnitFolder::directory() const {
    std::string output;
    SetEnvironmentVariableA("ZELUSB_VIRTUAL", dir.string().c_str());
    SetEnvironmentVariableA("ZELUSB_FAST_CLOCK", "1");
    runTool("bexolog.exe", "dir", &output);
    return output;
}

UnitFolder::~UnitFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void UnitFolder::plug() { std::filesystem::remove(dir / "unplugged"); }

void UnitFolder::unplug() { std::ofstream(dir / "unplugged").put('\n'); }

std::vector<uint8_t> UnitFolder::eeprom() const {
    const vunit::UnitFolder f = vunit::loadUnitFolder(dir);
    return {f.storage.eeprom.begin(), f.storage.eeprom.end()};
}

Program::~Program() {
    if (running()) {
        close(5000);
        if (running()) TerminateProcess(process.hProcess, 99);
    }
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
}

bool Program::running() const {
    return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

int Program::close(DWORD timeoutMs) {
    if (main) PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

// The build hands the program's path as the Linux side sees it; Wine shows
// that file system as drive Z:.
std::string programPath() {
    std::string path = "Z:" BEXO_PROGRAM_EXE;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::unique_ptr<Program> start(const std::vector<const UnitFolder*>& units, bool realWaits) {
    return startAt(programPath(), units, realWaits);
}

std::unique_ptr<Program> startAt(const std::string& exe, const std::vector<const UnitFolder*>& units, bool realWaits) {
    std::string list;
    for (const UnitFolder* u : units) list += (list.empty() ? "" : ";") + u->dir.string();
    SetEnvironmentVariableA("ZELUSB_VIRTUAL", list.empty() ? nullptr : list.c_str());
    SetEnvironmentVariableA("ZELUSB_FAST_CLOCK", realWaits ? nullptr : "1");
    auto p = std::make_unique<Program>();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\"";
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &p->process))
        throw std::runtime_error("cannot start " + exe);
    p->main = waitForWindow(*p, "Wildlife Log Export");
    return p;
}

HWND findWindow(const Program& p, const char* caption) {
    FindContext f{p.process.dwProcessId, caption, nullptr};
    EnumWindows(findTopLevel, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

HWND waitForWindow(const Program& p, const char* caption, DWORD timeoutMs) {
    HWND found = nullptr;
    eventually([&] { return (found = findWindow(p, caption)) != nullptr; }, timeoutMs);
    return found;
}

bool windowGone(const Program& p, const char* caption, DWORD timeoutMs) {
    return eventually([&] { return findWindow(p, caption) == nullptr; }, timeoutMs);
}

std::string text(HWND dialog, int id) {
    char buffer[1024] = {};
    GetDlgItemTextA(dialog, id, buffer, sizeof buffer);
    return buffer;
}

std::vector<std::string> controlTexts(HWND dialog) {
    std::vector<std::string> texts;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        // Asked of the control itself: for another process's window,
        // GetWindowText gives the text it was made with, not an edit box's.
        char buffer[256] = {};
        SendMessageA(c, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
        texts.push_back(buffer);
    }
    return texts;
}

bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

bool checked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void setText(HWND dialog, int id, const std::string& value) { SetDlgItemTextA(dialog, id, value.c_str()); }

void click(HWND dialog, int id) { PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

HWND currentPage(const Program& p) {
    HWND page = nullptr;
    EnumChildWindows(GetDlgItem(p.main, 1007), findPage, reinterpret_cast<LPARAM>(&page));
    return page;
}

void selectTab(const Program& p, int index) {
    SendMessageA(GetDlgItem(p.main, 1007), TCM_SETCURFOCUS, index, 0);
}

COLORREF clientPixel(const Program& p, int x, int y) {
    POINT at{x, y};
    ClientToScreen(p.main, &at);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return c;
}

bool bannerIs(const Program& p, COLORREF fill, DWORD timeoutMs) {
    return eventually([&] { return clientPixel(p, 12, 12) == fill && clientPixel(p, 512, 42) == fill; }, timeoutMs);
}

int bannerPixels(const Program& p, COLORREF colour) {
    POINT origin{0, 0};
    ClientToScreen(p.main, &origin);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    const int w = 505, h = 35;
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, origin.x + 10, origin.y + 10, SRCCOPY);
    int count = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (GetPixel(memory, x, y) == colour) ++count;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return count;
}

std::string messageText(HWND box) { return text(box, 0xFFFF); }

void answer(HWND box, int button) { PostMessageA(box, WM_COMMAND, static_cast<WPARAM>(button), 0); }

bool saveAs(const Program& p, const std::string& file) {
    HWND dialog = waitForWindow(p, "Save Bexo log");
    if (!dialog) return false;
    // The file name box: a combo box in the explorer-style dialog, an edit
    // box in the older one.
    HWND name = GetDlgItem(dialog, 0x47C);
    if (!name) name = GetDlgItem(dialog, 0x480);
    if (!name) return false;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(file.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return windowGone(p, "Save Bexo log", 5000);
}

int runTool(const std::string& name, const std::string& arguments, std::string* output) {
    std::string exe = "Z:" BEXO_BIN_DIR "/" + name;
    for (char& c : exe)
        if (c == '/') c = '\\';
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::string command = "\"" + exe + "\" " + arguments;
    const BOOL started =
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string collected;
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) collected.append(buffer, got);
    }
    CloseHandle(readEnd);
    if (!started) return -1;
    DWORD code = 0;
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (output) *output = collected;
    return static_cast<int>(code);
}

} // namespace gui
