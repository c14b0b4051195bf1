// The host's virtual backend opens a unit folder in one call: lock, load,
// run, and save every change back to the folder as it happens. It then talks
// to `*opened->unit` with writeReport / readReport (unit.h), and closes the
// unit by destroying the OpenedUnit.
#pragma once

#include "unit.h"
#include "vstore/lock.h"

#include <filesystem>
#include <memory>
#include <string>

namespace vunit {

struct OpenedUnit {
    std::filesystem::path dir;
    FolderLock lock; // declared before `unit`: released only after it is gone
    std::unique_ptr<Unit, void (*)(Unit*)> unit{nullptr, nullptr};

    OpenedUnit() = default;
    OpenedUnit(const OpenedUnit&) = delete;
    OpenedUnit& operator=(const OpenedUnit&) = delete;
    // Saves what is still unsaved, then lets the unit and the lock go. The
    // host's threads must have stopped using the unit.
    ~OpenedUnit();
};

// Locks `dir`, loads it, makes the running unit (every storage change is
// written back to the folder by the unit's persist hook) and arms the faults
// waiting in the folder. Null with `error` set when the folder is in use by
// another opener ("in use"), is not a unit, is damaged, or holds a fault
// spec the device model does not understand (the faults then stay waiting).
std::unique_ptr<OpenedUnit> openUnitFromFolder(const std::filesystem::path& dir, std::string& error);

// Arms the faults armed in the folder since the unit was opened; call it
// before each request to let `bexo-sim fault` reach an open unit. Returns
// false with `error` set when a spec is not understood (nothing is taken).
bool armPendingFaults(OpenedUnit& opened, std::string& error);

} // namespace vunit
