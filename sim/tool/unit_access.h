// How the commands reach a unit folder.
#pragma once

#include "vstore/folder.h"

#include <functional>
#include <string>

namespace simtool {

// Loads the unit for reading only; no lock, so it works while a program
// has the unit open (each file is read whole, never half written).
vunit::UnitFolder readUnit(const std::string& dir);

// Locks the unit, loads it, runs `change` and saves the storage parts that
// `change` marked dirty. Fails when another program has the unit open.
void changeUnit(const std::string& dir, const std::function<void(vunit::UnitFolder&)>& change);

} // namespace simtool
