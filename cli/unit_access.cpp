#include "unit_access.h"

#include "commands.h"
#include "zelusb.h"

#include <cstdio>

int openFirstUnit() {
    ZELDLLInitialize();
    const int unit = ZELOpenNextAvailableDevice();
    if (unit < 0) {
        std::fprintf(stderr, "bexolog: no Bexo unit found. Plug one in (on Linux, install "
                             "zelusb/platform/70-bexo.rules for access), or name virtual units in ZELUSB_VIRTUAL.\n");
        throw CLI::RuntimeError(1);
    }
    return unit;
}

void failUnit(int unit, const char* what) {
    unsigned long code = 0, detail = 0;
    ZELGetLastError(unit, code, detail);
    std::fprintf(stderr, "bexolog: %s failed (error %08lX, detail %lu)\n", what, code, detail);
    ZELCloseDevice(unit);
    throw CLI::RuntimeError(2);
}
