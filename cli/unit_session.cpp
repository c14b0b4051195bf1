#include "unit_session.h"

#include "commands.h"

#include <cstdio>

UnitSession::~UnitSession() {
    if (unit >= 0) ZELCloseDevice(unit);
}

void UnitSession::open(bool power) {
    ZELDLLInitialize();
    unit = ZELOpenNextAvailableDevice();
    if (unit < 0)
        fail("no Bexo unit found. Plug one in (on Linux, install zelusb/platform/70-bexo.rules for access), or "
             "name virtual units in ZELUSB_VIRTUAL.");
    if (!power) return;
    _ZEL_STATUS status{};
    if (!ZELStatus(unit, &status)) failUnit("reading the status");
    if (!(status.b[1] & 1) && !ZELPowerOn(unit)) failUnit("powering the unit up");
}

void UnitSession::fail(const std::string& message, int exitCode) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", command.c_str(), message.c_str());
    if (unit >= 0) ZELCloseDevice(unit);
    unit = -1;
    throw CLI::RuntimeError(exitCode);
}

void UnitSession::failUnit(const std::string& what) {
    unsigned long code = 0, detail = 0;
    if (unit >= 0) ZELGetLastError(unit, code, detail);
    char words[64];
    std::snprintf(words, sizeof words, " (error %08lX, detail %lu)", code, detail);
    fail(what + " failed" + words, 2);
}

DirectoryListing readListing(UnitSession& session) {
    DirectoryListing d;
    d.entries.resize(256);
    int count = 0;
    d.result = ZELReadDirectoryAndSectors(session.unit, d.directorySector, d.sectorCount, d.entries.data(), count, d.map);
    if (d.result < 0) session.failUnit("reading the directory");
    d.entries.resize(d.result == 1 ? static_cast<size_t>(count) : 0);
    if (d.result != 1) d.directorySector = -1;
    return d;
}
