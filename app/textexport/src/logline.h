// Pieces shared by the layouts: the line start (date, time, position), the
// column masks and the line end.
#pragma once

#include "bexolog_parser.h"
#include "loglines.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>

// Makes the next conversions follow the current TZ; call once per writer.
void followLocalTimeRules();

void writeLineStart(FILE* file, int32_t time, float latitude, float longitude);
void writeLineEnd(FILE* file);

// "%d " for each column number, 1 when the mask has that bit.
void writeMaskColumns(FILE* file, uint32_t mask, std::initializer_list<int> columns);
