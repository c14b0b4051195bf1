// bexolog firmware FIRMWARE.hex BOOTLOADER.hex [--dry-run]: replaces the
// unit's program. The unit is identified, both files go to ZELLoadFirmware
// with its CPU id and name, the library's own lines pass through on stdout,
// and its status records drive a progress bar on stderr. --dry-run checks
// the files against the unit's chip and prints what a load would send.
//
// Exit codes: 0 loaded (or, dry, the files fit); 1 no unit, or a file that
// cannot be read; 2 the unit failed (identification or a step of the load);
// 3 the files do not fit the unit (wrong chip, unreadable HEX, unsupported CPU).
#include "commands.h"
#include "console.h"
#include "imagefile.h"
#include "unit_session.h"
#include "zelusb.h"

#include "chip_table.h"
#include "firmware_image.h"
#include "load_plan.h"

#include <climits>
#include <cstdio>
#include <string>
#include <vector>
#if defined(_WIN32)
#  include <io.h>
#  include <thread>
#else
#  include <unistd.h>
#endif

namespace {

struct FirmwareOptions {
    std::string firmware, bootloader;
    bool dryRun = false;
    UnitChoice unit;
};

[[noreturn]] void fail(int code, const std::string& message) {
    std::fprintf(stderr, "bexolog firmware: %s\n", message.c_str());
    throw CLI::RuntimeError(code);
}

std::string readText(const std::string& path) {
    std::vector<unsigned char> bytes;
    std::string error;
    if (!readImageFile(path, bytes, error)) fail(1, error);
    if (bytes.size() > static_cast<size_t>(INT_MAX)) fail(1, "'" + path + "' is too large for a HEX file");
    return std::string(bytes.begin(), bytes.end());
}

// --- Progress bar ---------------------------------------------------------------

const char* phaseName(int kind) {
    switch (kind) {
    case ZEL_STATUS_FILE_WRITE: return "image";
    case ZEL_STATUS_FW_BOOTLOADER: return "boot-loader";
    case ZEL_STATUS_FW_ERASING: return "erasing";
    case ZEL_STATUS_FW_WRITING: return "writing";
    case ZEL_STATUS_FW_VERIFYING: return "verifying";
    case ZEL_STATUS_FW_FINALIZING: return "finalizing";
    default: return nullptr;
    }
}

// On a terminal one line redrawn in place; elsewhere a line per phase and
// per tenth.
struct ProgressBar {
    bool terminal = false;
    int kind = -1;
    int tenth = -1;
    bool open = false; // a terminal line not yet ended
};

void showProgress(ProgressBar& bar, int kind, int position, int range) {
    const char* name = phaseName(kind);
    if (!name) return;
    int percent = range > 0 ? static_cast<int>(static_cast<long long>(position) * 100 / range) : 0;
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent; // erasing may count past the end
    const bool newPhase = kind != bar.kind;
    if (!bar.terminal && !newPhase && percent / 10 == bar.tenth) return;
    std::fflush(stdout); // the library's lines first
    char cells[21];
    for (int i = 0; i < 20; ++i) cells[i] = i < percent / 5 ? '#' : '.';
    cells[20] = 0;
    if (bar.terminal) {
        if (newPhase && bar.open) std::fputc('\n', stderr);
        std::fprintf(stderr, "\r[%s] %-11s %3d%%", cells, name, percent);
        bar.open = true;
    } else {
        std::fprintf(stderr, "[%s] %-11s %3d%%\n", cells, name, percent);
    }
    std::fflush(stderr);
    bar.kind = kind;
    bar.tenth = percent / 10;
}

void endProgress(ProgressBar& bar) {
    if (bar.open) std::fputc('\n', stderr);
    bar.open = false;
}

// --- The load, with its status records ------------------------------------------

struct Load {
    int unit;
    std::string firmware, bootloader;
    unsigned short cpuId;
    char* cpuName;
};

int callLoader(Load& l) {
    return ZELLoadFirmware(l.unit, l.firmware.data(), static_cast<int>(l.firmware.size()), l.bootloader.data(),
                           static_cast<int>(l.bootloader.size()), l.cpuId, l.cpuName);
}

#if defined(_WIN32)
ProgressBar* g_bar = nullptr;

LRESULT CALLBACK progressWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != ZEL_STATUS_MESSAGE) return DefWindowProcA(window, message, wParam, lParam);
    auto* r = reinterpret_cast<_ZEL_STATUS_RECORD*>(lParam);
    if (g_bar) showProgress(*g_bar, r->kind, r->position, r->range);
    ZELFreeStatusBuffer(r);
    return 0;
}

// Records arrive as window messages: the load runs on a worker while this
// thread pumps them.
int loadWithProgress(Load& l, ProgressBar& bar) {
    WNDCLASSA c{};
    c.lpfnWndProc = progressWindow;
    c.hInstance = GetModuleHandleA(nullptr);
    c.lpszClassName = "BexologFirmwareProgress";
    RegisterClassA(&c);
    HWND window = CreateWindowExA(0, c.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, c.hInstance, nullptr);
    g_bar = &bar;
    if (window) ZELRegisterStatusWindow(l.unit, window, 0);
    const DWORD pumping = GetCurrentThreadId();
    int result = 0;
    std::thread worker([&] {
        result = callLoader(l);
        PostThreadMessageA(pumping, WM_APP, 0, 0);
    });
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == WM_APP) break;
        DispatchMessageA(&msg);
    }
    worker.join();
    ZELRegisterStatusWindow(l.unit, nullptr, 0);
    while (window && PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (window) DestroyWindow(window);
    g_bar = nullptr;
    return result;
}
#else
int loadWithProgress(Load& l, ProgressBar& bar) {
    // Records come on the loader's own thread, one at a time.
    ZEL_SINK sink{[](void* context, unsigned int message, uintptr_t, intptr_t lParam) {
                      if (message != ZEL_STATUS_MESSAGE) return;
                      auto* r = reinterpret_cast<_ZEL_STATUS_RECORD*>(lParam);
                      showProgress(*static_cast<ProgressBar*>(context), r->kind, r->position, r->range);
                      ZELFreeStatusBuffer(r);
                  },
                  &bar};
    ZELRegisterStatusWindow(l.unit, &sink, 0);
    const int result = callLoader(l);
    ZELRegisterStatusWindow(l.unit, nullptr, 0);
    return result;
}
#endif

// --- Dry run ----------------------------------------------------------------------

void printPlan(const zel::FirmwareChip& chip, const zel::FirmwareImage& load, const zel::LoadPlan& plan) {
    std::printf("Boot-loader   words 0x%04X-0x%04X (%u words)", load.bootStart, load.bootEnd - 1, load.bootEnd - load.bootStart);
    if (!plan.writesBootloader) {
        std::printf(": the unit runs its boot-loader, not written\n");
    } else {
        std::printf(", written through the application\n");
        if (plan.bootEraseBlocks) {
            const zel::BlockRange r = zel::bootloaderEraseBlocks(chip, load);
            std::printf("  erase       %u blocks of 64 bytes, 0x%04X-0x%04X\n", plan.bootEraseBlocks, r.first, r.last);
        }
        std::printf("  write       %u blocks of at most 128 words\n", plan.bootWriteBlocks);
        std::printf("  read back   %u blocks of at most 60 words\n", plan.bootReadBlocks);
        std::printf("  vectors     %u words at 0x%04X (%u erase, 1 write)\n", chip.vectorWords, chip.vectorAddress,
                    plan.vectorErases);
        if (!chip.handsOverImage) std::printf("  restart     into the boot-loader\n");
    }
    std::printf("Firmware      words 0x0000-0x%04X (%u words)\n", load.firmwareEnd - 1, load.firmwareEnd);
    if (chip.handsOverImage) {
        std::printf("  image       %u bytes into external flash at 6, after a 6-byte header\n", plan.imageBytes);
        std::printf("  hand-over   the boot-loader at 0x7FC0 installs it\n");
        return;
    }
    if (chip.pic18) std::printf("  erase       %u commands of 32 words\n", plan.bodyErases);
    std::printf("  write       %u commands: %u of 24 words, %u of 3, %u of 1\n", plan.writes24 + plan.writes3 + plan.writes1,
                plan.writes24, plan.writes3, plan.writes1);
    std::printf("  verify      %u reads of 14 words\n", plan.bodyReads);
    std::printf("  first block %u erase, %u writes of 1 word, %u reads\n", plan.firstBlockErases, plan.firstBlockWrites,
                plan.firstBlockReads);
    std::printf("  restart     into the new firmware\n");
}

// --- The command ------------------------------------------------------------------

void runFirmware(const FirmwareOptions& options) {
    Load l{};
    l.firmware = readText(options.firmware);
    l.bootloader = readText(options.bootloader);
    UnitSession session("bexolog firmware", options.unit);
    session.open(false);
    l.unit = session.unit;

    unsigned char bootMode = 0, memoryCode = 0;
    unsigned short usb = 0, version = 0;
    char cpuName[16] = {};
    if (!ZELInitDevice(l.unit, &bootMode, &usb, &version, &l.cpuId, &memoryCode, cpuName))
        session.failUnit("identifying the unit");
    l.cpuName = cpuName;
    const zel::FirmwareChip* chip = zel::firmwareChipOf(l.cpuId);
    char cpu[48];
    std::snprintf(cpu, sizeof cpu, "CPU 0x%04X %s", l.cpuId, cpuName);
    if (!chip) {
        session.close();
        fail(3, std::string("the unit's ") + cpu + " takes no firmware from this loader");
    }
    const zel::FirmwareImage load = zel::prepareFirmwareImage(*chip, zel::boundedText(l.bootloader.c_str(), 0),
                                                      zel::boundedText(l.firmware.c_str(), 0), cpuName);
    if (options.dryRun) {
        session.close();
        if (load.failure) fail(3, load.failure);
        std::printf("Unit %d, %s, running its %s: nothing is written (dry run)\n", l.unit, cpu,
                    bootMode ? "boot-loader" : "application");
        printPlan(*chip, load, zel::planLoad(*chip, load, bootMode != 0));
        return;
    }

    std::fprintf(stderr, "Loading %s with %s into the unit (%s)\n", options.firmware.c_str(),
                 options.bootloader.c_str(), cpu);
    ProgressBar bar;
    bar.terminal = stderrIsTerminal();
    const int result = loadWithProgress(l, bar);
    endProgress(bar);
    if (result == 1) {
        session.close();
        std::fprintf(stderr, "bexolog firmware: the new firmware is in place\n");
        return;
    }
    std::fflush(stdout);
    std::printf("\n"); // the library's message has no line end
    if (load.failure) {
        session.close();
        fail(3, std::string("the files do not fit the unit: ") + load.failure);
    }
    session.failUnit("loading the firmware");
}

} // namespace

void addFirmwareCommand(CLI::App& app) {
    auto options = std::make_shared<FirmwareOptions>();
    CLI::App* cmd = app.add_subcommand("firmware", "Replace the unit's program with a firmware and a boot-loader, "
                                                   "both Intel HEX files with the chip's name at their end.");
    cmd->add_option("FIRMWARE", options->firmware, "The firmware's HEX file")->required();
    cmd->add_option("BOOTLOADER", options->bootloader, "The boot-loader's HEX file")->required();
    cmd->add_flag("--dry-run", options->dryRun,
                  "Check both files against the unit's chip and show what a load would send; write nothing");
    addUnitOptions(cmd, options->unit);
    cmd->callback([options] { runFirmware(*options); });
}
