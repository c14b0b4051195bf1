// Names of the files in a unit folder and whole-file reading.
#pragma once

#include "platform.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vunit::files {

inline constexpr const char* kConfig = "unit.conf";
inline constexpr const char* kState = "state";
inline constexpr const char* kEeprom = "eeprom.bin";
inline constexpr const char* kProgram = "program.bin";
inline constexpr const char* kFlash = "flash";
inline constexpr const char* kFaults = "faults";
inline constexpr const char* kLock = "lock";
inline constexpr const char* kFaultsLock = "faults.lock";

// "flash/007.bin" for sector 7.
std::filesystem::path sectorFile(const std::filesystem::path& dir, int sector);
// The sector a file name stands for ("007.bin" -> 7), or -1.
int sectorOfName(const std::string& name);

// Whole file, or nullopt when it does not exist. Throws when it exists but
// cannot be read.
std::optional<std::vector<uint8_t>> readBytes(const std::filesystem::path& path);
std::optional<std::string> readText(const std::filesystem::path& path);

void writeText(const std::filesystem::path& path, const std::string& text, platform::Sync sync = platform::Sync::Durable);

} // namespace vunit::files
