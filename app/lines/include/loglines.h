// The lines of a parsed log as the text layouts see them: one per record, or
// per group of close observations folded together. Read record by record, so
// a walk holds nothing but its place in the array.
#pragma once

#include "bexolog_parser.h"

#include <cstddef>
#include <cstdint>

enum class LogLayout { Flag, Coded, Grouped };

// Exactly 0x8210: grouped; any other 0x82xx: coded; everything else: flag.
LogLayout layoutForFamily(uint16_t family);

struct MergeOptions {
    bool deadWildlife = true;     // "Merge log records for dead wildlife."
    bool crossingWildlife = true; // "Merge log records for crossing wildlife."
};

inline unsigned observationType(uint8_t flags) { return flags >> 1u; }
inline uint32_t typeBit(unsigned type) { return 1u << (type % 32u); }

// Later minus earlier, widened so that extreme times cannot overflow.
inline int64_t secondsBetween(const int32_t earlier, const int32_t later) {
    return static_cast<int64_t>(later) - earlier;
}

constexpr std::size_t kNoRecord = static_cast<std::size_t>(-1);

struct LogLine {
    std::size_t record = 0;  // opens the line: the line shows its time and position
    uint8_t flags = 0;       // flag layout: the opening record's flags, bit 6 added by a fold
    uint32_t mask = 0;       // coded and grouped layouts: bit (t mod 32) of each type t in the line
    std::size_t records = 1; // the opening record and those folded into it
    std::size_t observationRecords = 0; // of those, the ones whose type is not 0
    // The first record of the line whose observation type is not 0, or
    // kNoRecord; in the flag and coded layouts a plain record can open a line
    // that folds in an observation.
    std::size_t observation = kNoRecord;
    uint8_t types[3] = {};   // distinct observation types (not 0) in the order met
    uint8_t typeCount = 0;
};

struct LineWalk {
    const LogRecord* records = nullptr;
    std::size_t count = 0;
    LogLayout layout = LogLayout::Flag;
    MergeOptions merge;
    std::size_t next = 0; // first record not yet taken
};

// The next line, or false after the last. Never changes the records.
bool nextLine(LineWalk& walk, LogLine& line);

// Grouped layout only: a type-9 observation cancels itself and the record
// just before it, when that lies at most 60 s earlier.
bool cancelledInGroupedLayout(const LogRecord* records, std::size_t count, std::size_t i);
