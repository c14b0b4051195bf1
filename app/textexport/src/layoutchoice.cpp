#include "textexport.h"

void writeLogTextForFamily(const LogRecord* records, unsigned count, FILE* file) {
    if (layoutForFamily(eeFamily) == LogLayout::Grouped)
        writeGroupedLogText(records, count, file);
    else
        writeLogText(records, count, file);
}
