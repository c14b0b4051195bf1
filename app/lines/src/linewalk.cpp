// Flag and coded layouts: one line per record, except that a record may
// absorb the single record after it when that one is a close observation.
// Grouped layout: cancelled and plain records drop out; each line collects the
// mergeable observations that follow its opening record, measured from it.
#include "loglines.h"

namespace {

constexpr unsigned kCancelType = 9;
constexpr unsigned kCrossingType = 5;
constexpr unsigned kDeadType = 19;
constexpr unsigned kOtherDeadType = 20; // also folded by the dead-wildlife option, in the coded layout
constexpr uint8_t kDeadFlag = 0x40;     // flag layout
constexpr int64_t kMergeWindow = 60;    // a folded record must be closer than this
// Like the other windows measured later minus earlier, but with 60 itself
// still inside. Records out of time order are thus inside too.
constexpr int64_t kCancelWindow = 60;

void addRecord(LogLine& line, const LogRecord* records, std::size_t i) {
    const unsigned type = observationType(records[i].flags);
    if (type == 0) return;
    ++line.observationRecords;
    if (line.observation == kNoRecord) line.observation = i;
    for (uint8_t k = 0; k < line.typeCount; ++k)
        if (line.types[k] == type) return;
    if (line.typeCount < sizeof line.types) line.types[line.typeCount++] = static_cast<uint8_t>(type);
}

void openLine(LogLine& line, const LogRecord* records, std::size_t i) {
    line = LogLine{};
    line.record = i;
    line.flags = records[i].flags;
    line.mask = typeBit(observationType(records[i].flags));
    addRecord(line, records, i);
}

void fold(LogLine& line, const LogRecord* records, std::size_t i) {
    line.mask |= typeBit(observationType(records[i].flags));
    ++line.records;
    addRecord(line, records, i);
}

bool nextAdjacentLine(LineWalk& walk, LogLine& line) {
    if (walk.next >= walk.count) return false;
    const std::size_t i = walk.next++;
    openLine(line, walk.records, i);
    if (!walk.merge.deadWildlife || walk.next >= walk.count) return true;
    const LogRecord& next = walk.records[walk.next];
    // A record before its predecessor in time counts as close.
    if (secondsBetween(walk.records[i].time, next.time) >= kMergeWindow) return true;
    bool absorbs;
    if (walk.layout == LogLayout::Flag) {
        absorbs = (next.flags & kDeadFlag) != 0;
    } else {
        const unsigned type = observationType(next.flags);
        absorbs = type == kDeadType || type == kOtherDeadType;
    }
    if (absorbs) {
        line.flags = static_cast<uint8_t>(line.flags | (next.flags & kDeadFlag));
        fold(line, walk.records, walk.next++);
    }
    return true;
}

bool groupedSkips(const LineWalk& walk, std::size_t i) {
    return observationType(walk.records[i].flags) == 0 || cancelledInGroupedLayout(walk.records, walk.count, i);
}

bool joins(const LineWalk& walk, const LogLine& line, std::size_t i) {
    const unsigned type = observationType(walk.records[i].flags);
    const bool mergeable = (walk.merge.deadWildlife && type == kDeadType) ||
                           (walk.merge.crossingWildlife && type == kCrossingType);
    // Measured against the line's opening record, not the last joiner.
    return mergeable && secondsBetween(walk.records[line.record].time, walk.records[i].time) < kMergeWindow;
}

bool nextGroupedLine(LineWalk& walk, LogLine& line) {
    while (walk.next < walk.count && groupedSkips(walk, walk.next)) ++walk.next;
    if (walk.next >= walk.count) return false;
    openLine(line, walk.records, walk.next++);
    for (; walk.next < walk.count; ++walk.next) {
        if (groupedSkips(walk, walk.next)) continue;
        if (!joins(walk, line, walk.next)) break;
        fold(line, walk.records, walk.next);
    }
    return true;
}

} // namespace

bool cancelledInGroupedLayout(const LogRecord* records, std::size_t count, std::size_t i) {
    if (observationType(records[i].flags) == kCancelType) return true;
    return i + 1 < count && observationType(records[i + 1].flags) == kCancelType &&
           secondsBetween(records[i].time, records[i + 1].time) <= kCancelWindow;
}

bool nextLine(LineWalk& walk, LogLine& line) {
    return walk.layout == LogLayout::Grouped ? nextGroupedLine(walk, line) : nextAdjacentLine(walk, line);
}
