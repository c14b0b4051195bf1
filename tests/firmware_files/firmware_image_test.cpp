// The chip table, and the checks both files pass before the loader speaks to
// the unit: messages in the order the loader gives them.
#include "chip_table.h"
#include "hex_text.h"
#include "firmware_image.h"
#include "load_plan.h"

#include <gtest/gtest.h>

using namespace zel;
using hextext::Chunk;
using hextext::countingWords;
using hextext::hexFile;

namespace {

const char* const kBadBootloader = "Problem reading bootloader file.";
const char* const kBadFirmware = "Problem reading firmware file.";

// A PIC18 boot-loader: ten vector words at 0, `bodyWords` at word `start`.
std::string bootloader(uint32_t start, uint32_t bodyWords, const std::string& name = "PIC18F4520") {
    return hexFile({{0, countingWords(10, 0xE000)}, {2 * start, countingWords(bodyWords, 0x4000)}}, name);
}
std::string firmware(uint32_t words, uint32_t from = 0, const std::string& name = "PIC18F4520") {
    return hexFile({{2 * from, countingWords(words, 0x1000)}}, name);
}

FirmwareImage prepare(uint16_t cpuId, const std::string& boot, const std::string& fw, const char* name) {
    return prepareFirmwareImage(*firmwareChipOf(cpuId), boot, fw, name);
}

} // namespace

TEST(ChipTable, RevisionBitsAreIgnoredAndNamesAreTheIdentificationNames) {
    ASSERT_NE(firmwareChipOf(0x1085), nullptr);
    EXPECT_STREQ(firmwareChipOf(0x1085)->name, "PIC18F4520");
    EXPECT_STREQ(firmwareChipOf(0x0E2F)->name, "PIC16F877A");
    EXPECT_STREQ(firmwareChipOf(0x0003)->name, "PIC16F877A");
    EXPECT_STREQ(firmwareChipOf(0x0C4A)->name, "PIC18F4525");
    EXPECT_STREQ(firmwareChipOf(0x120F)->name, "PIC18F4550");
    EXPECT_EQ(firmwareChipOf(0x1100), nullptr);
    EXPECT_STREQ(cpuNameOf(0x1100), "UNSUPPORTED");
    EXPECT_STREQ(cpuNameOf(0x1087), "PIC18F4520");

    const FirmwareChip& pic16 = *firmwareChipOf(0x0E20);
    EXPECT_EQ(pic16.imageWords, 8192u);
    EXPECT_EQ(pic16.bytesPerAddress, 1u);
    EXPECT_EQ(pic16.firstBlockEnd, 4u);
    EXPECT_FALSE(pic16.pic18);
    const FirmwareChip& pic4525 = *firmwareChipOf(0x0C40);
    EXPECT_EQ(pic4525.imageWords, 0xC000u);
    EXPECT_EQ(pic4525.vectorWords, 10u);
    EXPECT_EQ(pic4525.firstBlockEnd, 64u);
    EXPECT_EQ(firmwareChipOf(0x1200)->vectorAddress, 0x7FC0);
    EXPECT_TRUE(firmwareChipOf(0x1200)->handsOverImage);
}

TEST(FirmwareImage, FirmwareIsReadOverTheBootloader) {
    const FirmwareImage load = prepare(0x1087, bootloader(0x3800, 64), firmware(4), "PIC18F4520");
    ASSERT_EQ(load.failure, nullptr);
    EXPECT_EQ(load.bootStart, 0x3800u);
    EXPECT_EQ(load.bootEnd, 0x3840u);
    EXPECT_EQ(load.firmwareEnd, 4u);
    const auto fw = countingWords(4, 0x1000), vectors = countingWords(10, 0xE000);
    EXPECT_EQ(load.image[0], fw[0]);
    EXPECT_EQ(load.image[7], fw[7]);
    EXPECT_EQ(load.image[8], vectors[8]); // the boot-loader's bytes stay where the firmware has none
    EXPECT_EQ(load.image[19], vectors[19]);
    EXPECT_EQ(load.image[0x7000], countingWords(1, 0x4000)[0]);
    EXPECT_EQ(load.bootVectors, vectors); // what goes to the vector address is the boot-loader's own
}

TEST(FirmwareImage, EachFileIsCheckedInTurn) {
    const std::string boot = bootloader(0x3800, 64), fw = firmware(100);
    EXPECT_STREQ(prepare(0x1087, "", fw, "PIC18F4520").failure, kBadBootloader);
    EXPECT_STREQ(prepare(0x1087, bootloader(0x3800, 64, "pic18f4520"), fw, "PIC18F4520").failure,
                 "Bootloader file is not compatible with your Bexo.");
    EXPECT_STREQ(prepare(0x1087, boot, fw, "PIC18F4525").failure, "Bootloader file is not compatible with your Bexo.");
    EXPECT_STREQ(prepare(0x1087, boot, fw, nullptr).failure, "Bootloader file is not compatible with your Bexo.");
    // Only vector words: no start.
    EXPECT_STREQ(prepare(0x1087, hexFile({{0, countingWords(10, 0xE000)}}, "PIC18F4520"), fw, "PIC18F4520").failure,
              kBadBootloader);
    // A bad record, even in the last line before the end.
    std::string damaged = fw;
    damaged[damaged.find(":00000001FF") - 2] ^= 1;
    EXPECT_STREQ(prepare(0x1087, boot, damaged, "PIC18F4520").failure, kBadFirmware);
    EXPECT_STREQ(prepare(0x1087, boot, firmware(100, 0, "PIC18F4525"), "PIC18F4520").failure,
                 "Firmware file is not compatible with your Bexo.");
    // Ending at the boot-loader's first word is fine; one word past is not.
    EXPECT_EQ(prepare(0x1087, boot, firmware(0x3800), "PIC18F4520").failure, nullptr);
    EXPECT_STREQ(prepare(0x1087, boot, firmware(0x3801), "PIC18F4520").failure, kBadFirmware);
    // A firmware must hold the reset vector: starting higher, it is refused.
    EXPECT_STREQ(prepare(0x1087, boot, firmware(100, 32), "PIC18F4520").failure, kBadFirmware);
    EXPECT_STREQ(prepare(0x1087, boot, firmware(100, 1), "PIC18F4520").failure, kBadFirmware);
}

TEST(FirmwareImage, WordsNoDeviceAddressReachesAreRefused) {
    // PIC18F4525: its image is 96 KiB, but device addresses stop at 64 KiB.
    EXPECT_STREQ(prepare(0x0C40, bootloader(0x7F00, 256, "PIC18F4525"), firmware(100, 0, "PIC18F4525"), "PIC18F4525").failure,
              nullptr);
    EXPECT_STREQ(prepare(0x0C40, bootloader(0x7F00, 257, "PIC18F4525"), firmware(100, 0, "PIC18F4525"), "PIC18F4525").failure,
              kBadBootloader);
}

TEST(FirmwareImage, BootloaderEraseBlocksEndAtTheBlockOfItsEndWord) {
    const FirmwareChip& chip = *firmwareChipOf(0x1087);
    FirmwareImage load = prepare(0x1087, bootloader(0x3800, 64), firmware(10), "PIC18F4520");
    BlockRange r = bootloaderEraseBlocks(chip, load);
    EXPECT_EQ(r.first, 0x7000u);
    EXPECT_EQ(r.last, 0x7080u); // 2 x end word, rounded down: one block past the last byte
    load = prepare(0x1087, bootloader(0x3801, 10), firmware(10), "PIC18F4520");
    r = bootloaderEraseBlocks(chip, load);
    EXPECT_EQ(r.first, 0x7000u);
    EXPECT_EQ(r.last, 0x7000u);
    // Up to the top: the block past it does not exist (and 0x10000 would wrap to 0).
    load = prepare(0x1087, bootloader(0x7FC0, 64), firmware(10), "PIC18F4520");
    r = bootloaderEraseBlocks(chip, load);
    EXPECT_EQ(r.first, 0xFF80u);
    EXPECT_EQ(r.last, 0xFFC0u);
}

TEST(LoadPlan, Pic18F4520FirmwareOfOneHundredWords) {
    const FirmwareChip& chip = *firmwareChipOf(0x1087);
    const FirmwareImage load = prepare(0x1087, bootloader(0x3800, 300), firmware(100), "PIC18F4520");
    ASSERT_EQ(load.failure, nullptr);
    const LoadPlan plan = planLoad(chip, load, false);
    EXPECT_TRUE(plan.writesBootloader);
    EXPECT_EQ(plan.bootWords, 300u);
    EXPECT_EQ(plan.bootEraseBlocks, 10u); // 0x7000 to 0x7240
    EXPECT_EQ(plan.bootWriteBlocks, 3u);
    EXPECT_EQ(plan.bootReadBlocks, 5u);
    EXPECT_EQ(plan.vectorErases, 1u);
    EXPECT_EQ(plan.bodyErases, 3u);
    EXPECT_EQ(plan.writes24, 2u);
    EXPECT_EQ(plan.writes3, 6u);
    EXPECT_EQ(plan.writes1, 2u);
    EXPECT_EQ(plan.bodyReads, 5u);
    EXPECT_EQ(plan.firstBlockErases, 1u);
    EXPECT_EQ(plan.firstBlockWrites, 32u);
    EXPECT_EQ(plan.firstBlockReads, 3u);

    const LoadPlan running = planLoad(chip, load, true);
    EXPECT_FALSE(running.writesBootloader);
    EXPECT_EQ(running.bootWriteBlocks, 0u);

    // Shorter than its first block: every word still goes out in the first block.
    const LoadPlan tiny = planLoad(chip, prepare(0x1087, bootloader(0x3800, 8), firmware(10), "PIC18F4520"), false);
    EXPECT_EQ(tiny.bodyErases + tiny.writes24 + tiny.writes3 + tiny.writes1 + tiny.bodyReads, 0u);
    EXPECT_EQ(tiny.firstBlockWrites, 32u);
    EXPECT_EQ(tiny.firstBlockReads, 3u);

    const LoadPlan pic16 = planLoad(*firmwareChipOf(0x0E20),
                                    prepare(0x0E20, bootloader(0x1F00, 100, "PIC16F877A"), firmware(50, 0, "PIC16F877A"),
                                            "PIC16F877A"),
                                    false);
    EXPECT_EQ(pic16.bootEraseBlocks + pic16.vectorErases + pic16.bodyErases + pic16.firstBlockErases, 0u);
    EXPECT_EQ(pic16.writes24 * 24 + pic16.writes3 * 3 + pic16.writes1, 46u);
    EXPECT_EQ(pic16.firstBlockWrites, 4u);
    EXPECT_EQ(pic16.firstBlockReads, 1u);
}
