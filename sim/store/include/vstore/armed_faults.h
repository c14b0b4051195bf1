// Faults armed from outside (bexo-sim fault) wait in the folder until the
// next program that talks to the unit takes them. Appending and taking run
// under a lock of their own, not the unit lock, so a fault can be armed
// while a program has the unit open.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vunit {

// Adds one fault spec (a single line, in the device model's syntax) after
// those already waiting. Throws std::runtime_error.
void appendFault(const std::filesystem::path& dir, const std::string& spec);

// The waiting faults, oldest first, left in place.
std::vector<std::string> pendingFaults(const std::filesystem::path& dir);

// Reads and clears the waiting faults, oldest first.
std::vector<std::string> takeFaults(const std::filesystem::path& dir);

// As takeFaults, but hands each fault to `accept` (in order, under the
// faults lock) and clears the file only when every call returned true, so a
// rejected spec loses nothing. Returns the faults taken, none on rejection.
std::vector<std::string> takeFaults(const std::filesystem::path& dir,
                                    const std::function<bool(const std::string&)>& accept);

} // namespace vunit
