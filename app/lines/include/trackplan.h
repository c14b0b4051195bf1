// A parsed log planned once for the exports: the track (every record with a
// valid time and position, in log order), cut into segments, and the
// observations, merged as the text layouts merge them. Segments and
// observations refer to records by index; nothing of the records is copied.
#pragma once

#include "loglines.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PlanOptions {
    LogLayout layout = LogLayout::Flag;
    MergeOptions merge;
    int64_t gapSeconds = 300; // a longer step between two points starts a new segment
};

// A time of 0 or later and a position on the earth.
bool isTrackPoint(const LogRecord& record);

struct Segment {
    std::size_t first = 0; // records [first, end); those that are no track point are skipped
    std::size_t end = 0;
    std::size_t points = 0;
};

struct Observation {
    std::size_t record = 0;  // the first observation record of its line: time, position, speed
    std::size_t records = 1; // observation records merged into it, its own included
    uint8_t types[3] = {};   // distinct types, the first the observation's own
    uint8_t typeCount = 0;
    unsigned type() const { return types[0]; }
};

struct LeftOut {
    std::size_t negativeTime = 0;
    std::size_t outsideEarth = 0;  // latitude beyond 90, longitude beyond 180 degrees, or not a number
    std::size_t observations = 0;  // observations whose own record is one of those
    std::size_t total() const { return negativeTime + outsideEarth; }
};

struct LogPlan {
    LogLayout layout = LogLayout::Flag;
    std::size_t records = 0;
    std::size_t trackPoints = 0;
    std::vector<Segment> segments;
    std::vector<Observation> observations; // in log order; only those with a track point
    LeftOut leftOut;
    int32_t firstTime = 0; // earliest and latest time of the track points
    int32_t lastTime = 0;
};

LogPlan planLog(const LogRecord* records, std::size_t count, const PlanOptions& options);

// Calls point(index) for every track point of the segment, in order.
template <typename PointFn>
void forEachPoint(const LogRecord* records, const Segment& segment, PointFn point) {
    for (std::size_t i = segment.first; i < segment.end; ++i)
        if (isTrackPoint(records[i])) point(i);
}

// The name a person reads for an observation type, where the layout gives the
// type a meaning: "dead wildlife", "wildlife crossing"; else "observation N".
std::string observationName(LogLayout layout, unsigned type);
