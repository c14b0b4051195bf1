// The writers behind exportLog. Each renders the planned log into one open
// binary stream; none keeps more than a segment's bookkeeping in memory.
#pragma once

#include "exports.h"
#include "pendingfile.h"
#include "textsink.h"

#include <string>

struct ExportInput {
    const LogRecord* records;
    std::size_t count;
    const LogPlan& plan;
    const ExportOptions& options;
};

void writeGpx(const ExportInput& in, TextSink& out);
void writeGeoJson(const ExportInput& in, TextSink& out);
void writeKml(const ExportInput& in, TextSink& out);
void writeCsv(const ExportInput& in, TextSink& out);
void writeDwcCsv(const ExportInput& in, TextSink& out);
void writeSvg(const ExportInput& in, TextSink& out);

// Writes into the closed temporary file of `file`; false with a message.
bool writeDwcArchive(const ExportInput& in, const PendingFile& file, std::string& error);
bool writePng(const ExportInput& in, FILE* file, std::string& error);

// The names of an observation's types, "wildlife crossing, dead wildlife".
std::string observationNames(LogLayout layout, const Observation& o);
// Its codes, "5 19".
std::string observationCodes(const Observation& o);
