// Log text export: turns parsed log records into the log text file.
//
// Every writer ends its lines with CR LF written explicitly ("\r\n"), so the
// stream MUST be opened in binary mode ("wb"): then a file written on Linux is
// byte-identical to one written on Windows. A text-mode stream on Windows
// would turn each "\r\n" into "\r\r\n".
//
// Dates and times are local time under the machine's current time zone rules;
// each writer re-reads them (tzset) when it starts.
#pragma once

#include "bexolog_parser.h"
#include "loglines.h"

#include <cstdint>
#include <cstdio>

// EEPROM family word of the unit whose log is written; selects the layout.
extern uint16_t eeFamily;
// Fold closely following observations into one line. Both on at start.
extern bool mergeDeadWildlife;
extern bool mergeCrossingWildlife;

// Flag layout, or coded layout when the high byte of eeFamily is 0x82.
void writeLogText(const LogRecord* records, unsigned count, FILE* file);

// Grouped layout. Leaves the records as they are.
void writeGroupedLogText(const LogRecord* records, unsigned count, FILE* file);

// Picks the writer from eeFamily; what convert calls.
void writeLogTextForFamily(const LogRecord* records, unsigned count, FILE* file);

// The same with the family and the merge options given rather than read from
// the process-wide values: safe on a worker thread while they change.
void writeLogTextWith(const LogRecord* records, unsigned count, FILE* file, uint16_t family, MergeOptions merge);

// The merge options as the line model takes them.
MergeOptions mergeOptions();
