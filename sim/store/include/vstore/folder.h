// A virtual unit kept in a folder between runs. The layout of the folder is
// described in sim/store/FORMAT.md. Every file is replaced atomically, so a
// crash leaves each file either old or new.
#pragma once

#include "unit_state.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vunit {

// How the running unit behaves; kept in unit.conf beside the identity.
struct FolderOptions {
    bool timing = false;
    // Wire trace file, "" for none. A relative path is taken from the folder.
    std::string tracePath;
};

struct UnitFolder {
    Identity identity;
    FolderOptions options;
    Storage storage; // dirty flags all clear
    std::vector<std::string> faults; // armed and not yet fired, oldest first
};

// True when `dir` holds a unit (its unit.conf exists).
bool isUnitFolder(const std::filesystem::path& dir);

// Makes `dir` (and its parents) and writes a complete unit into it. Refuses
// a folder that already holds a unit. An empty identity.path is stored as
// the folder's absolute path. Throws std::runtime_error.
void createUnitFolder(const std::filesystem::path& dir, const Identity& identity, const Storage& storage,
                      const FolderOptions& options = {});

// Throws std::runtime_error with the file and the reason when the folder is
// not a unit or a file in it is damaged.
UnitFolder loadUnitFolder(const std::filesystem::path& dir);
// Only the identity (unit.conf): cheap enough for every device enumeration.
Identity loadUnitIdentity(const std::filesystem::path& dir);

// Writes the parts whose dirty flag is set and clears each flag once its
// part is written; a failure throws and leaves the remaining flags set.
// Each file is replaced atomically either way; `durable` also flushes it to
// the disk (milliseconds a file), so that it survives a power loss too.
void saveStorage(const std::filesystem::path& dir, Storage& storage, bool durable = true);

// Rewrites unit.conf. The identity should be the one loaded: the stored
// flash must keep matching its sector map.
void saveConfig(const std::filesystem::path& dir, const Identity& identity, const FolderOptions& options);

} // namespace vunit
