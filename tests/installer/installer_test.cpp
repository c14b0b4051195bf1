// The installer as a person runs it, silently: it puts the program, its two
// libraries and a start-menu entry in place, the installed program starts,
// and the uninstaller takes everything away again.
#include "gui_driver.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

std::string windowsPath(const char* linuxPath) {
    std::string path = std::string("Z:") + linuxPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

DWORD run(const std::string& commandLine, DWORD timeoutMs = 60000) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = commandLine;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFF;
    DWORD code = 0xFFFE;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

fs::path commonPrograms() {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, path);
    return path;
}

bool uninstallKeyPresent() {
    HKEY key = nullptr;
    const LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\BexoLogExport",
                                 0, KEY_READ | KEY_WOW64_64KEY, &key);
    if (r == ERROR_SUCCESS) RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

TEST(Installer, InstallsStartsAndUninstallsCleanly) {
    // Without spaces: the silent uninstaller's own copy is told the folder.
    const fs::path target = fs::path("C:\\") / ("BexoTest" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(target);
    ASSERT_EQ(run("\"" + windowsPath(BEXO_INSTALLER_EXE) + "\" /S /D=" + target.string()), 0u);

    for (const char* file : {"BexoLogExport.exe", "zelusb.dll", "BexoLogParser.dll", "uninstall.exe"})
        EXPECT_TRUE(fs::exists(target / file)) << file;
    // The copies are the build's own files.
    EXPECT_EQ(fs::file_size(target / "BexoLogExport.exe"), fs::file_size(gui::programPath()));
    const fs::path shortcut = commonPrograms() / "BexoLog Export" / "Wildlife Log Export.lnk";
    EXPECT_TRUE(fs::exists(shortcut)) << shortcut.string();
    EXPECT_TRUE(uninstallKeyPresent());

    {
        auto p = gui::startAt((target / "BexoLogExport.exe").string(), {});
        ASSERT_NE(p->main, nullptr);
        EXPECT_TRUE(gui::eventually([&] { return gui::clientPixel(*p, 12, 12) == RGB(255, 0, 0); }));
        EXPECT_EQ(p->close(), 0);
    }

    // The uninstaller runs from a copy of itself and returns at once.
    ASSERT_EQ(run("\"" + (target / "uninstall.exe").string() + "\" /S"), 0u);
    const bool gone = gui::eventually(
        [&] { return !fs::exists(target) && !fs::exists(shortcut.parent_path()) && !uninstallKeyPresent(); }, 30000);
    EXPECT_TRUE(gone);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_FALSE(fs::exists(shortcut.parent_path()));
    EXPECT_FALSE(uninstallKeyPresent());
    fs::remove_all(target);
}

} // namespace
