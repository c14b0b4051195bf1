// The program's own FileVersion, which the Summary page's version label is
// made from.
#include "pages.h"

#include <vector>

std::string programFileVersion() {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16) /* RT_VERSION */);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded) return {};
    const void* locked = LockResource(loaded);
    if (!locked) return {};
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
        return {};
    std::string narrow;
    for (UINT i = 0; i < length && value[i]; ++i) narrow += static_cast<char>(value[i]);
    return narrow;
}
