// Drives the real BexoLogExport.exe from another process, as a person's
// desktop would: its windows are found by caption, read with window
// messages, clicked with posted messages, and its banner read back from the
// screen's pixels.
#pragma once

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace gui {

struct UnitSpec {
    uint16_t family = 0x8100;
    uint32_t serial = 42;
    uint8_t volume = 1;
    uint16_t batterySaverSeconds = 30 * 60;
    bool plugged = true;
    bool timing = false; // the USB pacing and flash times of a real unit
};

// A virtual unit made for one test in a folder of its own, removed after it.
struct UnitFolder {
    std::filesystem::path dir;
    explicit UnitFolder(uint16_t family = 0x8100, bool plugged = true);
    explicit UnitFolder(const UnitSpec& spec);
    ~UnitFolder();
    UnitFolder(const UnitFolder&) = delete;
    UnitFolder& operator=(const UnitFolder&) = delete;
    void plug();   // as bexo-sim plug
    void unplug(); // as bexo-sim unplug
    std::vector<uint8_t> eeprom() const;
    // bexo-sim add-logs with one of the repository's recorded tracks.
    void addLogs(const char* track = "logger-a.gpx");
    // bexo-sim fault.
    void fault(const std::string& spec);
    // The unit's directory as bexolog dir prints it.
    std::string directory() const;
};

struct Program {
    PROCESS_INFORMATION process{};
    HWND main = nullptr;
    ~Program();
    // WM_CLOSE, then the exit code (or -1 when it did not end in time).
    int close(DWORD timeoutMs = 20000);
    bool running() const;
};

// Starts the program with ZELUSB_VIRTUAL naming `units` (all, even pulled
// out ones) and waits for its main window and its first refresh.
// The fixed waits are shortened (ZELUSB_FAST_CLOCK) unless `realWaits`.
std::unique_ptr<Program> start(const std::vector<const UnitFolder*>& units, bool realWaits = false);
// The same for the program at `exe` (a Windows path).
std::unique_ptr<Program> startAt(const std::string& exe, const std::vector<const UnitFolder*>& units,
                                 bool realWaits = false);
// The build's own BexoLogExport.exe.
std::string programPath();

// Waits for a top-level window of the program with this caption.
HWND waitForWindow(const Program& p, const char* caption, DWORD timeoutMs = 10000);
bool windowGone(const Program& p, const char* caption, DWORD timeoutMs = 10000);
HWND findWindow(const Program& p, const char* caption);

std::string text(HWND dialog, int id);
// Every control's text, in the order the dialog made them.
std::vector<std::string> controlTexts(HWND dialog);
bool enabled(HWND dialog, int id);
bool checked(HWND dialog, int id);
void setText(HWND dialog, int id, const std::string& value);
// A click as the button gets it from the mouse (posted: the program may
// open a modal dialog in answer).
void click(HWND dialog, int id);

// The page dialog now shown inside the tab control.
HWND currentPage(const Program& p);
// Selects a tab the way the keyboard does, with the tab control's own
// notifications to the main window.
void selectTab(const Program& p, int index);

// The screen's pixel at a point of the main window's client area.
COLORREF clientPixel(const Program& p, int x, int y);
// How many pixels of the banner rectangle have exactly this colour.
int bannerPixels(const Program& p, COLORREF colour);

// A message box's text, and closing it with one of its buttons.
std::string messageText(HWND box);
void answer(HWND box, int button = IDOK);

// Types `file` into the open "Save Bexo log" dialog and presses Save.
bool saveAs(const Program& p, const std::string& file);

// Runs a program of the build (bexo-sim.exe, bexolog.exe) and waits for it;
// its exit code, or -1.
int runTool(const std::string& name, const std::string& arguments, std::string* output = nullptr);

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Whether the banner's fill, read at two of its corners, becomes `fill`.
bool bannerIs(const Program& p, COLORREF fill, DWORD timeoutMs = 15000);

// Polls `condition` every 10 ms; true as soon as it holds.
template <class F> bool eventually(F condition, DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
}

} // namespace gui
