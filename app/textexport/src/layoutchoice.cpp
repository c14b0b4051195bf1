#include "textexport.h"

LogLayout layoutForFamily(uint16_t family) {
    if (family == 0x8210) return LogLayout::Grouped;
    if ((family >> 8) == 0x82) return LogLayout::Coded;
    return LogLayout::Flag;
}

void writeLogTextForFamily(LogRecord* records, unsigned count, FILE* file) {
    if (layoutForFamily(eeFamily) == LogLayout::Grouped)
        writeGroupedLogText(records, count, file);
    else
        writeLogText(records, count, file);
}
