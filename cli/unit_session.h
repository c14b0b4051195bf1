// Opening the Bexo unit a subcommand works on, and saying why a conversation
// with it failed. Failures print on stderr and throw CLI::RuntimeError with
// the exit code; the unit is closed first.
#pragma once

#include "zelusb.h"

#include <CLI/CLI.hpp>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Which unit: the N-th one that can be opened (from 0, in the order the
// library finds them), the one with that serial number, or the next one.
struct UnitChoice {
    std::string index;
    std::string serial;
};
void addUnitOptions(CLI::App* command, UnitChoice& choice);

struct UnitSession {
    std::atomic<int> unit{-1}; // as the export program's core holds it
    std::string command;       // for messages: "bexolog dir: ..."
    UnitChoice choice;
    explicit UnitSession(std::string commandName, UnitChoice unitChoice = {})
        : command(std::move(commandName)), choice(std::move(unitChoice)) {}
    UnitSession(const UnitSession&) = delete;
    UnitSession& operator=(const UnitSession&) = delete;
    ~UnitSession();

    // Opens the chosen unit (exit 1 when there is none); with `power`,
    // powers its main processor up when it is off.
    void open(bool power);
    void close();
    [[noreturn]] void fail(const std::string& message, int exitCode = 1);
    // "... failed (error XXXXXXXX, detail N)" from the unit's error words; exit 2.
    [[noreturn]] void failUnit(const std::string& what);
    // " (error XXXXXXXX, detail N)", or empty when the unit has no error.
    std::string errorWords() const;
};

// Every unit that can be opened, each held open: for working through a fleet.
std::vector<int> openEveryUnit();

// The directory as the unit holds it; fails the session when it cannot be read.
struct DirectoryListing {
    int result = 0; // 1 read, 0 none
    int directorySector = -1;
    unsigned short sectorCount = 0;
    std::vector<_direntry> entries;
    unsigned char map[256] = {};
};
DirectoryListing readListing(UnitSession& session);
