#include "load_plan.h"

#include <algorithm>

namespace zel {

namespace {
uint32_t blocksOf(uint32_t words, uint32_t perBlock) { return (words + perBlock - 1) / perBlock; }
} // namespace

LoadPlan planLoad(const FirmwareChip& chip, const FirmwareImage& load, bool bootloaderRunning) {
    LoadPlan plan;
    plan.writesBootloader = !bootloaderRunning;
    if (plan.writesBootloader) {
        plan.bootWords = load.bootEnd - load.bootStart;
        if (chip.pic18) {
            const BlockRange r = bootloaderEraseBlocks(chip, load);
            plan.bootEraseBlocks = r.last >= r.first ? (r.last - r.first) / kEraseBlockBytes + 1 : 0;
            plan.vectorErases = 1;
        }
        plan.bootWriteBlocks = blocksOf(plan.bootWords, kFlashWriteWords);
        plan.bootReadBlocks = blocksOf(plan.bootWords, kFlashReadWords);
    }
    const uint32_t end = load.firmwareEnd, first = chip.firstBlockWords;
    plan.firmwareWords = end;
    if (chip.handsOverImage) {
        plan.imageBytes = 2 * end;
        return plan;
    }
    if (chip.pic18) {
        const uint32_t lo = lowestWordOf(load.firmware);
        for (uint32_t p = lo + kBootEraseWords; p < end; p += kBootEraseWords) ++plan.bodyErases;
        plan.firstBlockErases = 1;
    }
    for (uint32_t p = first; p < end;) {
        const uint32_t n = bootWriteWords(end - p);
        ++(n == 24 ? plan.writes24 : n == 3 ? plan.writes3 : plan.writes1);
        p += n;
    }
    plan.bodyReads = end > first ? blocksOf(end - first, kBootReadWords) : 0;
    plan.firstBlockWrites = first;
    const uint32_t compareEnd = std::max(end, first);
    for (uint32_t q = 0; q < first; q += std::min(compareEnd - q, kBootReadWords)) ++plan.firstBlockReads;
    return plan;
}

} // namespace zel
