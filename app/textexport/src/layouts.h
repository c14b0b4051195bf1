// The writers with their family and merge options as arguments.
#pragma once

#include "bexolog_parser.h"
#include "loglines.h"

#include <cstdint>
#include <cstdio>

void writeFlagOrCodedLayout(const LogRecord* records, unsigned count, FILE* file, uint16_t family, MergeOptions merge);
void writeGroupedLayout(const LogRecord* records, unsigned count, FILE* file, MergeOptions merge);
