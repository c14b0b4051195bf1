// unit.conf and the state file: "key = value" lines a person can read and
// edit. Unknown keys are errors, so a misspelt key is never silently ignored.
#pragma once

#include "unit_state.h"
#include "vstore/folder.h"

#include <string>

namespace vunit::conf {

std::string formatConfig(const Identity& identity, const FolderOptions& options);
// Throws std::runtime_error("line N: ...").
void parseConfig(const std::string& text, Identity& identity, FolderOptions& options);

std::string formatState(const Storage& storage);
void parseState(const std::string& text, Storage& storage);

} // namespace vunit::conf
