// The formats named on a command line (-f, repeatable).
#pragma once

#include "exports.h"

#include <string>
#include <vector>

// Each named format once, in the order first named; the option's check has
// let only known names through.
std::vector<ExportFormat> formatsNamed(const std::vector<std::string>& names);
