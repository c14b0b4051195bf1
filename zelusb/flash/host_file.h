// Host files that the chunked reader and writer use.
#pragma once

#include <cstdio>

namespace zel {

// Opens `name` or says so: "Error opening file.", error code 0x10000, detail 0.
std::FILE* openHostFile(int unit, const char* name, const char* mode);

} // namespace zel
