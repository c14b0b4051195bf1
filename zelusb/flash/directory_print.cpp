#include "zelusb.h"

#include <cstdio>

int ZELPrintDirectory(_direntry* entries, int count) {
    std::printf("\nDirectory Contents\n");
    std::printf("==================\n");
    for (int i = 0; entries && i < count; ++i)
        std::printf("(%2d) %02X %08X %08X %u\n", i + 1, entries[i].type, entries[i].address, entries[i].id,
                    static_cast<unsigned>(entries[i].size));
    return 1;
}
