// Whole-file reading of raw log images, with a message when it fails.
#pragma once

#include <string>
#include <vector>

// Returns false and sets `error` when the file cannot be opened or read.
bool readImageFile(const std::string& path, std::vector<unsigned char>& image, std::string& error);
