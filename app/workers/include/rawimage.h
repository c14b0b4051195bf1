// The raw log image on disk: "bexo-log.bin" beside the log text file, and
// whole-file writes that a reader never sees half done.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "bexo-log.bin" in the folder of `logFilePath` made absolute; empty when
// that path cannot be made or is longer than 284 characters.
std::string rawImagePathBeside(const std::string& logFilePath);

// Writes `image` over the start of the existing file at `path`, keeping
// whatever lies beyond it; a file that does not exist, or cannot be opened
// for reading and writing, is left alone (false). The new contents go to a
// temporary file that replaces the old one once flushed.
bool copyIntoExistingFile(const std::string& path, const std::vector<uint8_t>& image);

// `bytes` as the whole of `path`, through a flushed temporary file renamed
// onto it. False, with the reason, leaving any old file as it was.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
