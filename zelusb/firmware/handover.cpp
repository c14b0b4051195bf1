// PIC18F4550: the image goes into the unit's external flash behind a header,
// and the boot-loader (its vectors at 0x7FC0) is told to install it.
//
// Header, 6 bytes at flash address 0: 44 55 66 77, then the image length in
// bytes (16 bits, low byte first); the image from address 6.
#include "application_flash.h"
#include "loader_stages.h"
#include "zelusb.h"

#include <vector>

namespace zel {

namespace {
constexpr unsigned kImageAddress = 6;
} // namespace

const char* handImageToBootloader(int unit, const FirmwareImage& load) {
    const unsigned long bytes = 2ul * load.firmwareEnd;
    if (!ZELSetDownloadMode(unit, 1)) return "Problem entering download mode.";
    if (!ZELClearSectorZero(unit)) return "Cannot clear location zero of memory chip.";
    unsigned char header[6] = {0x44, 0x55, 0x66, 0x77, static_cast<unsigned char>(bytes & 0xFF),
                               static_cast<unsigned char>((bytes >> 8) & 0xFF)};
    if (!ZELWriteMemory(unit, 0, header, sizeof header)) return "Cannot write firmware header.";
    std::vector<uint8_t> image(load.image.begin(), load.image.begin() + static_cast<long>(bytes));
    unsigned long length = bytes;
    if (!ZELWriteFile(unit, kImageAddress, length, nullptr, image.data())) return "Cannot write firmware to memory.";
    if (!startBootloaderAt(unit, 0x7FC0)) return "Problem jumping to bootloader.";
    return nullptr;
}

} // namespace zel
