// Grouped layout: sixteen columns, without 4, 9, 16 and 17.
#include "layouts.h"
#include "logline.h"
#include "textexport.h"

void writeGroupedLogText(const LogRecord* records, unsigned count, FILE* file) {
    writeGroupedLayout(records, count, file, mergeOptions());
}

void writeGroupedLayout(const LogRecord* records, unsigned count, FILE* file, MergeOptions merge) {
    followLocalTimeRules();
    LineWalk walk{records, count, LogLayout::Grouped, merge};
    for (LogLine line; nextLine(walk, line);) {
        const LogRecord& record = records[line.record];
        writeLineStart(file, record.time, record.latitude, record.longitude);
        writeMaskColumns(file, line.mask, {1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 18, 19, 20});
        writeLineEnd(file);
    }
}
