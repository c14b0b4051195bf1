// A raw log image read into records, as a download parses it.
#pragma once

#include "bexolog_parser.h"

#include <string>
#include <vector>

// Count, then fill; false with a message when the image cannot be parsed.
bool parseImage(const std::vector<unsigned char>& image, std::vector<LogRecord>& records, std::string& error);

// Logged data never ends on its last byte: a run ends with 0x00 or 0xFF, and
// an erased log file reads 0xFF. An image whose last byte is neither was cut
// short inside a run (or holds something else).
bool endsInsideRun(const std::vector<unsigned char>& image);
