// CSV as RFC 4180 has it: CR LF after every row, and a field in double
// quotes (its quotes doubled) when it holds a comma, a quote or a line break.
#pragma once

#include "textsink.h"

#include <string_view>

void putCsvField(TextSink& out, std::string_view field);
inline void endCsvRow(TextSink& out) { out.put("\r\n"); }
