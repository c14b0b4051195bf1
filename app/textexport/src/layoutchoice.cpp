#include "layouts.h"
#include "textexport.h"

void writeLogTextForFamily(const LogRecord* records, unsigned count, FILE* file) {
    writeLogTextWith(records, count, file, eeFamily, mergeOptions());
}

void writeLogTextWith(const LogRecord* records, unsigned count, FILE* file, uint16_t family, MergeOptions merge) {
    if (layoutForFamily(family) == LogLayout::Grouped)
        writeGroupedLayout(records, count, file, merge);
    else
        writeFlagOrCodedLayout(records, count, file, family, merge);
}
