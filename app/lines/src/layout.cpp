#include "loglines.h"

LogLayout layoutForFamily(uint16_t family) {
    if (family == 0x8210) return LogLayout::Grouped;
    if ((family >> 8) == 0x82) return LogLayout::Coded;
    return LogLayout::Flag;
}
