#include "vstore/open_unit.h"

#include "faults.h"
#include "vstore/armed_faults.h"
#include "vstore/folder.h"

#include <cstdio>
#include <exception>

namespace vunit {

namespace fs = std::filesystem;

namespace {

// Runs on the unit's writer thread after every changing command, so it
// replaces files atomically without waiting for the disk, and must not throw
// into the device model. A failed save keeps the dirty flags, so the next
// one tries again.
void persistQuietly(const fs::path& dir, Storage& storage) {
    try {
        saveStorage(dir, storage, false);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "virtual unit %s: %s\n", dir.string().c_str(), e.what());
    }
}

// Every spec is checked before any is armed or cleared from the folder, so
// a bad one leaves all of them waiting and arms none.
bool armAll(OpenedUnit& opened, std::string& error) {
    std::string rejected;
    std::vector<std::string> taken;
    try {
        taken = takeFaults(opened.dir, [&](const std::string& spec) {
            if (parseFaults(spec)) return true;
            rejected = spec;
            return false;
        });
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    if (!rejected.empty()) {
        error = (opened.dir / "faults").string() + ": fault '" + rejected + "' is not understood";
        return false;
    }
    for (const std::string& spec : taken)
        if (!armFault(*opened.unit, spec)) {
            error = "the unit refused fault '" + spec + "'";
            return false;
        }
    return true;
}

} // namespace

OpenedUnit::~OpenedUnit() {
    if (unit) persistQuietly(dir, storageOf(*unit));
}

std::unique_ptr<OpenedUnit> openUnitFromFolder(const fs::path& given, std::string& error) {
    try {
        // Saves keep going to this folder even if the process changes its
        // working directory.
        const fs::path dir = fs::absolute(given);
        if (!isUnitFolder(dir)) {
            error = dir.string() + " holds no virtual unit";
            return nullptr;
        }
        auto opened = std::make_unique<OpenedUnit>();
        opened->dir = dir;
        opened->lock = tryLockUnitFolder(dir);
        if (!opened->lock.held()) {
            error = dir.string() + " is in use by another program";
            return nullptr;
        }
        UnitFolder folder = loadUnitFolder(dir);
        UnitOptions options;
        options.timing = folder.options.timing;
        if (!folder.options.tracePath.empty()) {
            fs::path trace = folder.options.tracePath;
            options.tracePath = (trace.is_relative() ? dir / trace : trace).string();
        }
        options.persist = [dir](Storage& storage) { persistQuietly(dir, storage); };
        opened->unit = makeUnit(folder.identity, std::move(folder.storage), options);
        if (!armAll(*opened, error)) return nullptr;
        return opened;
    } catch (const std::exception& e) {
        error = e.what();
        return nullptr;
    }
}

bool armPendingFaults(OpenedUnit& opened, std::string& error) { return armAll(opened, error); }

} // namespace vunit
