#include "firmware_image.h"

#include <algorithm>
#include <cstring>

namespace zel {

namespace {

constexpr uint32_t kDeviceAddresses = 0x10000; // every device address is 16 bits

const char* const kBadBootloader = "Problem reading bootloader file.";
const char* const kBadFirmware = "Problem reading firmware file.";

bool sameName(const HexFile& file, const char* chipName) {
    return chipName && std::strcmp(file.chipName, chipName) == 0;
}

// The first nonzero word at or after the vector words; `words` when none.
uint32_t firstWordPastVectors(const std::vector<uint8_t>& image, uint32_t vectorWords, uint32_t words) {
    for (uint32_t k = vectorWords; k < words; ++k)
        if (image[2 * k] || image[2 * k + 1]) return k;
    return words;
}

} // namespace

FirmwareImage prepareFirmwareImage(const FirmwareChip& chip, std::string_view bootloaderText, std::string_view firmwareText,
                           const char* chipName) {
    FirmwareImage load;
    const size_t imageBytes = 2 * static_cast<size_t>(chip.imageWords);
    load.image.assign(imageBytes, 0);
    auto fail = [&load](const char* message) {
        load.failure = message;
        return load;
    };

    load.bootloader = readHex(bootloaderText, load.image.data(), imageBytes);
    if (load.bootloader.problem != HexProblem::None) return fail(kBadBootloader);
    if (!sameName(load.bootloader, chipName)) return fail("Bootloader file is not compatible with your Bexo.");
    load.bootEnd = endWordOf(load.bootloader);
    load.bootStart = firstWordPastVectors(load.image, chip.vectorWords, chip.imageWords);
    if (load.bootStart >= chip.imageWords || load.bootStart > load.bootEnd) return fail(kBadBootloader);
    // Words past what a 16-bit device address reaches could never be written.
    if ((static_cast<uint64_t>(load.bootEnd) - 1) * chip.bytesPerAddress >= kDeviceAddresses)
        return fail(kBadBootloader);

    load.bootVectors.assign(load.image.begin(), load.image.begin() + 2 * chip.vectorWords);
    load.firmware = readHex(firmwareText, load.image.data(), imageBytes);
    if (load.firmware.problem != HexProblem::None) return fail(kBadFirmware);
    if (!sameName(load.firmware, chipName)) return fail("Firmware file is not compatible with your Bexo.");
    load.firmwareEnd = endWordOf(load.firmware);
    if (load.firmwareEnd > load.bootStart) return fail(kBadFirmware);
    // PIC18F4550: the image goes to external flash behind its header, and is
    // installed below the boot-loader's vectors.
    if (chip.handsOverImage && 2 * load.firmwareEnd > chip.vectorAddress) return fail(kBadFirmware);
    // Its first block holds the reset vector: a firmware must start there.
    if (lowestWordOf(load.firmware) != 0) return fail(kBadFirmware);
    return load;
}

BlockRange bootloaderEraseBlocks(const FirmwareChip& chip, const FirmwareImage& load) {
    BlockRange r;
    r.first = 2 * load.bootStart / kEraseBlockBytes * kEraseBlockBytes;
    r.last = 2 * load.bootEnd / kEraseBlockBytes * kEraseBlockBytes;
    const uint32_t limit = std::min<uint32_t>(2 * chip.imageWords, kDeviceAddresses);
    // The last block is the one holding the end word, which for a
    // boot-loader reaching the top lies past the memory (and would wrap to 0).
    r.last = std::min(r.last, limit - kEraseBlockBytes);
    return r;
}

} // namespace zel
