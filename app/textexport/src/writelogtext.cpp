// Flag and coded layouts: the columns of each line of the walk.
#include "layouts.h"
#include "logline.h"
#include "textexport.h"

namespace {

void writeFlagColumns(FILE* file, uint8_t flags) {
    std::fprintf(file, "%d %d %d", (flags >> 7) & 1, (flags >> 6) & 1, (flags >> 5) & 1);
}

void writeCodedColumns(FILE* file, uint32_t mask) {
    writeMaskColumns(file, mask, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20});
}

} // namespace

void writeLogText(const LogRecord* records, unsigned count, FILE* file) {
    writeFlagOrCodedLayout(records, count, file, eeFamily, mergeOptions());
}

void writeFlagOrCodedLayout(const LogRecord* records, unsigned count, FILE* file, uint16_t family, MergeOptions merge) {
    const bool coded = (family >> 8) == 0x82;
    followLocalTimeRules();
    LineWalk walk{records, count, coded ? LogLayout::Coded : LogLayout::Flag, merge};
    for (LogLine line; nextLine(walk, line);) {
        const LogRecord& record = records[line.record];
        writeLineStart(file, record.time, record.latitude, record.longitude);
        if (coded)
            writeCodedColumns(file, line.mask);
        else
            writeFlagColumns(file, line.flags);
        writeLineEnd(file);
    }
}
