// The PIC18F4550's load: the boot-loader through the application, then the
// image into external flash behind its header, installed by the boot-loader.
#include "load_support.h"

#include "../flash/flash_units.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace loadtest;

namespace {

flashtest::Laid pic4550(vunit::Kind kind, std::vector<vfactory::Item> items) {
    flashtest::Layout l;
    l.kind = kind;
    l.trace = true;
    l.items = std::move(items);
    flashtest::Laid laid = flashtest::layOut(l);
    laid.identity.cpuId = 0x1203;
    laid.storage.programFlash.assign(2 * 0x8000, 0xFF);
    return laid;
}

} // namespace

TEST(Handover, Pic18F4550ImageIsInstalledByItsBootloader) {
    for (const vunit::Kind kind : {vunit::Kind::Packet, vunit::Kind::Stream}) {
        SCOPED_TRACE(kind == vunit::Kind::Packet ? "packet unit" : "stream unit");
        // An item in sector 0 has to move out before the image goes there.
        flashtest::FlashUnit u(pic4550(kind, {flashtest::item(0x14, 7, 3000, 0), flashtest::item(0x60, 8, 500, 2)}),
                               true);
        const Files files = madeUpFiles("PIC18F4550", 300, 0x3800, 64);
        const Outcome out = loadFiles(u.unit, files, 0x1203, "PIC18F4550");
        ASSERT_EQ(out.result, 1) << out.printed;
        EXPECT_EQ(out.printed, "Writing bootloader...\nUpgrading firmware...");

        const Wire wire = wireOf(u.plugged->trace());
        for (const Bytes& m : framedWith(wire, 0x1D)) EXPECT_EQ(m, (Bytes{0x1D, 4})); // power-on only: interrupts stay
        EXPECT_TRUE(framedWith(wire, 0x0F).empty()); // no restart: the boot-loader takes over
        const auto erases = framedWith(wire, 0x1C);
        ASSERT_FALSE(erases.empty());
        EXPECT_EQ(erases.back(), (Bytes{0x1C, 0xC0, 0x7F}));
        const auto writes = framedWith(wire, 0x11);
        ASSERT_EQ(writes.size(), 2u);
        EXPECT_EQ(writes[1], concat(Bytes{0x11, 0xC0, 0x7F},
                                    imageWords(madeUpFiles("PIC18F4550", 0, 0x3800, 64).image, 0, 10)));
        EXPECT_EQ(framedWith(wire, 0x0A).size(), 1u);
        const auto memory = framedWith(wire, 0x14);
        ASSERT_FALSE(memory.empty());
        const Bytes header = {0x14, 0, 0, 0, 0, 0x44, 0x55, 0x66, 0x77, 0x58, 0x02}; // 600 bytes
        EXPECT_NE(std::find(memory.begin(), memory.end(), header), memory.end());
        EXPECT_EQ(framedWith(wire, 0x16), (std::vector<Bytes>{{0x16, 0xC0, 0x7F}}));
        EXPECT_TRUE(bootCommandNames(wire).empty());
        EXPECT_NE(u.plugged->trace().find("boot-loader: installed 600 bytes from external flash"), std::string::npos);

        const vunit::Storage s = u.stored();
        EXPECT_EQ(programWords(s, 0, 300), imageWords(files.image, 0, 300));
        EXPECT_EQ(programWords(s, 0x3800, 0x3840), imageWords(files.image, 0x3800, 0x3840));
        EXPECT_EQ(Bytes(s.sectors[0].begin() + 6, s.sectors[0].begin() + 606), imageWords(files.image, 0, 300));
        EXPECT_TRUE(s.applicationValid);
        // The item that was in sector 0 is still there, elsewhere.
        const auto listing = flashtest::readListing(u.unit);
        ASSERT_EQ(listing.result, 1);
        EXPECT_TRUE(std::any_of(listing.entries.begin(), listing.entries.end(),
                                [](const _direntry& e) { return e.id == 7 && e.address >= 0x10000; }));
#if !defined(_WIN32)
        std::vector<int> kinds;
        for (const auto& r : out.records) kinds.push_back(r.kind);
        EXPECT_EQ(std::count(kinds.begin(), kinds.end(), ZEL_STATUS_FW_BOOTLOADER), 6); // 0, 25, 50, 75, 90, 100
        EXPECT_EQ(std::count_if(kinds.begin(), kinds.end(), [](int k) { return k >= ZEL_STATUS_FW_ERASING; }), 0);
        EXPECT_GT(std::count(kinds.begin(), kinds.end(), ZEL_STATUS_FILE_WRITE), 2);
#endif
    }
}

TEST(Handover, ImageThatCannotBeInstalledIsRefusedFirst) {
    flashtest::FlashUnit u(pic4550(vunit::Kind::Packet, {}));
    const vunit::Storage before = u.stored();
    // Past 0x7FC0 bytes the image would reach the boot-loader's vectors.
    const Outcome out = loadFiles(u.unit, madeUpFiles("PIC18F4550", 0x3FE1, 0x3FF0, 8), 0x1203, "PIC18F4550");
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.printed, "Problem reading firmware file.");
    EXPECT_EQ(u.stored().programFlash, before.programFlash);
}

TEST(Handover, SectorZeroThatCannotBeClearedStopsBeforeTheImage) {
    // A four-sector chip: 0 holds the directory and 1 to 3 items, so no sector is spare.
    flashtest::Layout l;
    l.chipCode = 17;
    for (int s = 1; s < 4; ++s) l.items.push_back(flashtest::item(0x14, static_cast<uint32_t>(s), 100, s));
    flashtest::Laid laid = flashtest::layOut(l);
    laid.identity.cpuId = 0x1200;
    laid.storage.programFlash.assign(2 * 0x8000, 0xFF);
    flashtest::FlashUnit u(laid);
    const Outcome out = loadFiles(u.unit, madeUpFiles("PIC18F4550", 100, 0x3800, 64), 0x1200, "PIC18F4550");
    EXPECT_EQ(out.result, 0);
    EXPECT_EQ(out.printed, "Writing bootloader...\nUpgrading firmware...Cannot clear location zero of memory chip.");
    EXPECT_TRUE(u.stored().applicationValid); // still its old application
}
