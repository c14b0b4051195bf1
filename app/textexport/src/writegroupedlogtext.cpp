// Grouped layout: type-9 observations cancel themselves and the record just
// before them; the remaining observations are grouped into lines, each line
// collecting the mergeable observations that follow its opening record.
#include "logline.h"
#include "textexport.h"

#include <optional>

namespace {

constexpr unsigned kCancelType = 9;
constexpr unsigned kDeadType = 19;
constexpr unsigned kCrossingType = 5;
// Like the other windows this is measured later minus earlier, but here 60
// itself is still inside. Records out of time order are thus inside too.
constexpr int64_t kCancelWindow = 60;
constexpr int64_t kJoinWindow = 60; // joiners must be closer than this

struct PendingLine {
    int32_t time;
    float latitude;
    float longitude;
    uint32_t mask;
};

void removeCancelledObservations(LogRecord* records, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        if (observationType(records[i].flags) != kCancelType) continue;
        records[i].flags = 0;
        if (i > 0 && secondsBetween(records[i - 1].time, records[i].time) <= kCancelWindow) records[i - 1].flags = 0;
    }
}

void writeGroupedLine(FILE* file, const PendingLine& line) {
    writeLineStart(file, line.time, line.latitude, line.longitude);
    writeMaskColumns(file, line.mask, {1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 18, 19, 20});
    writeLineEnd(file);
}

bool mayJoin(unsigned type) {
    return (mergeDeadWildlife && type == kDeadType) || (mergeCrossingWildlife && type == kCrossingType);
}

} // namespace

void writeGroupedLogText(LogRecord* records, unsigned count, FILE* file) {
    followLocalTimeRules();
    removeCancelledObservations(records, count);

    std::optional<PendingLine> pending;
    for (unsigned i = 0; i < count; ++i) {
        const LogRecord& record = records[i];
        const unsigned type = observationType(record.flags);
        if (type == 0) continue;
        // Measured against the line's opening record, not the last joiner.
        if (pending && mayJoin(type) && secondsBetween(pending->time, record.time) < kJoinWindow) {
            pending->mask |= typeBit(type);
            continue;
        }
        if (pending) writeGroupedLine(file, *pending);
        pending = PendingLine{record.time, record.latitude, record.longitude, typeBit(type)};
    }
    if (pending) writeGroupedLine(file, *pending);
}
