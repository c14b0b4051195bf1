// Flag and coded layouts: one line per record, except that a record may
// absorb the single record after it when that one is a close observation.
#include "logline.h"
#include "textexport.h"

namespace {

constexpr int64_t kMergeWindow = 60; // seconds; the next record must be closer

void writeFlagColumns(FILE* file, uint8_t flags) {
    std::fprintf(file, "%d %d %d", (flags >> 7) & 1, (flags >> 6) & 1, (flags >> 5) & 1);
}

void writeCodedColumns(FILE* file, uint32_t mask) {
    writeMaskColumns(file, mask, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
}

} // namespace

void writeLogText(const LogRecord* records, unsigned count, FILE* file) {
    const bool coded = (eeFamily >> 8) == 0x82;
    followLocalTimeRules();
    for (unsigned i = 0; i < count; ++i) {
        const LogRecord& record = records[i];
        const LogRecord* next = i + 1 < count ? &records[i + 1] : nullptr;
        // A record before its predecessor in time counts as close.
        const bool nextIsClose =
            mergeDeadWildlife && next != nullptr && secondsBetween(record.time, next->time) < kMergeWindow;

        writeLineStart(file, record.time, record.latitude, record.longitude);
        if (coded) {
            uint32_t mask = typeBit(observationType(record.flags));
            if (nextIsClose) {
                const unsigned nextType = observationType(next->flags);
                if (nextType == 19 || nextType == 20) {
                    mask |= typeBit(nextType);
                    ++i;
                }
            }
            writeCodedColumns(file, mask);
        } else {
            uint8_t flags = record.flags;
            if (nextIsClose && (next->flags & 0x40) != 0) {
                flags = static_cast<uint8_t>(flags | 0x40);
                ++i;
            }
            writeFlagColumns(file, flags);
        }
        writeLineEnd(file);
    }
}
