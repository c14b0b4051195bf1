// What the program's file carries: its dialogs' fonts and captions, the
// icon group and the version block, read from the built .exe.
#include "gui_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Module {
    HMODULE handle = LoadLibraryExA(gui::programPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ~Module() {
        if (handle) FreeLibrary(handle);
    }
};

const unsigned char* resource(HMODULE m, int id, LPCSTR type, DWORD* size = nullptr) {
    HRSRC r = FindResourceA(m, MAKEINTRESOURCEA(id), type);
    if (!r) return nullptr;
    if (size) *size = SizeofResource(m, r);
    return static_cast<const unsigned char*>(LockResource(LoadResource(m, r)));
}

// A DLGTEMPLATE's caption, font size and face (the fields before the items).
struct TemplateHead {
    DWORD style = 0;
    std::wstring caption, face;
    WORD pointSize = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
};

const WORD* skipNameOrOrdinal(const WORD* p) {
    if (*p == 0xFFFF) return p + 2;
    while (*p) ++p;
    return p + 1;
}

TemplateHead readHead(const unsigned char* data) {
    TemplateHead h;
    DLGTEMPLATE t;
    std::memcpy(&t, data, sizeof t);
    h.style = t.style;
    h.x = t.x, h.y = t.y, h.cx = t.cx, h.cy = t.cy;
    const WORD* p = reinterpret_cast<const WORD*>(data + 18);
    p = skipNameOrOrdinal(p); // menu
    p = skipNameOrOrdinal(p); // class
    h.caption = reinterpret_cast<const wchar_t*>(p);
    p += h.caption.size() + 1;
    if (h.style & DS_SETFONT) {
        h.pointSize = *p++;
        h.face = reinterpret_cast<const wchar_t*>(p);
    }
    return h;
}

TEST(Resources, EveryDialogUsesMsSansSerif8WithItsCaptionPlaceAndSize) {
    Module m;
    ASSERT_NE(m.handle, nullptr);
    struct Expected {
        int id;
        const wchar_t* caption;
        short x, y, cx, cy;
    };
    const Expected dialogs[] = {
        {101, L"Wildlife Log Export", 100, 100, 352, 226}, {105, L"", 5, 20, 310, 150},
        {106, L"", 5, 20, 330, 150},                       {107, L"", 5, 20, 300, 150},
        {108, L"Download", 100, 100, 212, 90},             {109, L"Communicating with Bexo", 100, 100, 186, 71},
    };
    for (const Expected& e : dialogs) {
        const unsigned char* data = resource(m.handle, e.id, MAKEINTRESOURCEA(5) /* RT_DIALOG */);
        ASSERT_NE(data, nullptr) << e.id;
        const TemplateHead h = readHead(data);
        EXPECT_EQ(h.face, L"MS Sans Serif") << e.id;
        EXPECT_EQ(h.pointSize, 8) << e.id;
        EXPECT_EQ(h.caption, e.caption) << e.id;
        EXPECT_EQ(h.x, e.x) << e.id;
        EXPECT_EQ(h.y, e.y) << e.id;
        EXPECT_EQ(h.cx, e.cx) << e.id;
        EXPECT_EQ(h.cy, e.cy) << e.id;
    }
    // The main window has a minimize box and a system menu; the two device
    // dialogs a modal frame and no system menu; the pages are children.
    EXPECT_TRUE(readHead(resource(m.handle, 101, MAKEINTRESOURCEA(5))).style & WS_MINIMIZEBOX);
    EXPECT_TRUE(readHead(resource(m.handle, 101, MAKEINTRESOURCEA(5))).style & WS_SYSMENU);
    for (int id : {108, 109}) {
        const DWORD style = readHead(resource(m.handle, id, MAKEINTRESOURCEA(5))).style;
        EXPECT_TRUE(style & DS_MODALFRAME) << id;
        EXPECT_FALSE(style & WS_SYSMENU) << id;
    }
    for (int id : {105, 106, 107}) EXPECT_TRUE(readHead(resource(m.handle, id, MAKEINTRESOURCEA(5))).style & WS_CHILD);
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, IconGroup104Holds32And16PixelImagesOf24Bits) {
    Module m;
    DWORD size = 0;
    const unsigned char* group = resource(m.handle, 104, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, &size);
    ASSERT_NE(group, nullptr);
    WORD count;
    std::memcpy(&count, group + 4, 2);
    ASSERT_EQ(count, 2);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        GroupEntry e;
        std::memcpy(&e, group + 6 + i * sizeof e, sizeof e);
        EXPECT_EQ(e.width, e.height);
        EXPECT_EQ(e.bitCount, 24);
        sizes.push_back(e.width);
        const unsigned char* image = resource(m.handle, e.id, MAKEINTRESOURCEA(3) /* RT_ICON */);
        ASSERT_NE(image, nullptr);
        BITMAPINFOHEADER header;
        std::memcpy(&header, image, sizeof header);
        EXPECT_EQ(header.biBitCount, 24);
        EXPECT_EQ(header.biWidth, e.width);
        EXPECT_EQ(header.biHeight, 2 * e.height); // colour rows, then the mask
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

TEST(Resources, VersionBlockIs3_0_0_5InEnglishUnicode) {
    const std::string exe = gui::programPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, block.data()));
    auto value = [&](const char* name) {
        char* text = nullptr;
        UINT length = 0;
        std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) return std::string();
        return std::string(text);
    };
    EXPECT_EQ(value("FileVersion"), "3, 0, 0, 5");
    EXPECT_EQ(value("ProductVersion"), "3, 0, 0, 5");
    EXPECT_EQ(value("FileDescription"), "BexoLog Export Utility");
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);
}

} // namespace
