// The HEX reader on any text: nothing read or written outside the text and
// the image (ASan), and what it reports stays inside them. The same bytes
// then go through the loader's file checks as a boot-loader and a firmware.
#include "chip_table.h"
#include "hex_reader.h"
#include "firmware_image.h"
#include "load_plan.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

void readInto(std::string_view text, size_t imageBytes) {
    // Exactly as large as asked: one byte past is a heap overflow.
    const auto image = std::make_unique<uint8_t[]>(imageBytes);
    const zel::HexFile f = zel::readHex(text, image.get(), imageBytes);
    check(f.endAddress <= imageBytes);
    check(zel::endWordOf(f) <= (imageBytes + 1) / 2);
    const size_t name = std::strlen(f.chipName);
    check(name <= 15);
    if (f.problem == zel::HexProblem::None) check(name > 0 && f.endAddress > 0);
    if (f.problem == zel::HexProblem::BadRecord) check(f.badLine > 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Not NUL-terminated: the length is the only bound.
    const auto copy = std::make_unique<char[]>(size ? size : 1);
    if (size) std::memcpy(copy.get(), data, size);
    const int length = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
    const std::string_view text = size ? zel::boundedText(copy.get(), length) : std::string_view{};
    check(text.size() <= size);
    for (size_t imageBytes : {size_t{1}, size_t{7}, size_t{2 * 8192}, size_t{2 * 0x8000}}) readInto(text, imageBytes);

    const size_t half = text.size() / 2;
    for (const uint16_t cpuId : {uint16_t{0x1087}, uint16_t{0x0E20}, uint16_t{0x0C40}, uint16_t{0x1200}}) {
        const zel::FirmwareChip& chip = *zel::firmwareChipOf(cpuId);
        const zel::FirmwareImage load = zel::prepareFirmwareImage(chip, text.substr(0, half), text.substr(half), chip.name);
        if (load.failure) continue;
        check(load.bootStart >= chip.vectorWords && load.bootStart < load.bootEnd && load.bootEnd <= chip.imageWords);
        check(load.firmwareEnd <= load.bootStart);
        const zel::LoadPlan plan = zel::planLoad(chip, load, false);
        check(plan.firstBlockReads > 0 && plan.firstBlockReads <= chip.firstBlockWords);
    }
    return 0;
}
