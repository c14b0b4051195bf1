// The program's own version, as the Summary page shows it.
#include "pages.h"

#include <cstdio>
#include <vector>

void versionLabel(char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    buffer[0] = 0;
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16) /* RT_VERSION */);
    if (!found) return;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return;
    const void* locked = LockResource(loaded);
    if (!locked) return;
    // The query may write into the block it reads, and a resource is read-only.
    const DWORD blockSize = SizeofResource(nullptr, found);
    std::vector<unsigned char> block(static_cast<const unsigned char*>(locked),
                                     static_cast<const unsigned char*>(locked) + blockSize);
    block.resize(blockSize * 2);
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void**>(&value),
                        &length) ||
        !value)
        return;
    // The length counts the terminating zero.
    if (length < 11) return;
    char narrow[3] = {static_cast<char>(value[0]), static_cast<char>(value[9]), static_cast<char>(value[10])};
    // A zero third character ends the text there ("3, 0, 0, 5" gives 3.5).
    std::snprintf(buffer, size, "Version %c.%c%c", narrow[0], narrow[1], narrow[2]);
}
