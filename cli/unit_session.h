// Opening the first free Bexo unit for a subcommand, and saying why a
// conversation with it failed. Failures print on stderr and throw
// CLI::RuntimeError with the exit code; the unit is closed first.
#pragma once

#include "zelusb.h"

#include <string>
#include <vector>

struct UnitSession {
    int unit = -1;
    std::string command; // for messages: "bexolog dir: ..."
    explicit UnitSession(std::string commandName) : command(std::move(commandName)) {}
    UnitSession(const UnitSession&) = delete;
    UnitSession& operator=(const UnitSession&) = delete;
    ~UnitSession();

    // Opens the unit (exit 1 when there is none); with `power`, powers its
    // main processor up when it is off.
    void open(bool power);
    [[noreturn]] void fail(const std::string& message, int exitCode = 1);
    // "... failed (error XXXXXXXX, detail N)" from the unit's error words; exit 2.
    [[noreturn]] void failUnit(const std::string& what);
};

// The directory as the unit holds it; fails the session when it cannot be read.
struct DirectoryListing {
    int result = 0; // 1 read, 0 none
    int directorySector = -1;
    unsigned short sectorCount = 0;
    std::vector<_direntry> entries;
    unsigned char map[256] = {};
};
DirectoryListing readListing(UnitSession& session);
