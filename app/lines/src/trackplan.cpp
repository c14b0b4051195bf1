// Segments: a new one where the time goes back, where it steps further than
// the gap, and where a run of the log restarts: a run that carries on where
// the one before stopped (its first point at most one logging step after the
// last point) is the same drive; a run that begins later is a new one. The
// logging step is the one seen between points inside the runs around it.
// Where no run has shown a step yet (a log of one-point runs, as a unit writes
// when its fixes come slower than its interval), only the gap divides.
#include "trackplan.h"

#include <algorithm>
#include <cmath>

namespace {

bool onEarth(const LogRecord& r) {
    // Written so that a NaN fails.
    return std::fabs(r.latitude) <= 90.0f && std::fabs(r.longitude) <= 180.0f;
}

bool startsRun(const LogRecord& r) { return (r.flags & 1u) != 0; }

struct Segmenter {
    const LogRecord* records;
    std::size_t count;
    int64_t gap;
    std::size_t previous = kNoRecord; // last track point
    int64_t step = 0;                 // last step seen inside a run; 0: none yet

    // Step from i to the next record, when that continues i's run.
    int64_t stepAfter(std::size_t i) const {
        if (i + 1 >= count || startsRun(records[i + 1]) || !isTrackPoint(records[i + 1])) return 0;
        return secondsBetween(records[i].time, records[i + 1].time);
    }

    bool breaksBefore(std::size_t i) {
        if (previous == kNoRecord) return true;
        const int64_t dt = secondsBetween(records[previous].time, records[i].time);
        if (dt < 0 || dt > gap) return true;
        if (!startsRun(records[i])) {
            if (dt > 0) step = dt;
            return false;
        }
        const int64_t known = std::max(step, stepAfter(i));
        return known > 0 && dt > known;
    }
};

} // namespace

bool isTrackPoint(const LogRecord& record) { return record.time >= 0 && onEarth(record); }

LogPlan planLog(const LogRecord* records, std::size_t count, const PlanOptions& options) {
    LogPlan plan;
    plan.layout = options.layout;
    plan.records = count;
    Segmenter segmenter{records, count, std::max<int64_t>(options.gapSeconds, 0)};
    for (std::size_t i = 0; i < count; ++i) {
        const LogRecord& r = records[i];
        if (r.time < 0) {
            ++plan.leftOut.negativeTime;
            continue;
        }
        if (!onEarth(r)) {
            ++plan.leftOut.outsideEarth;
            continue;
        }
        if (segmenter.breaksBefore(i)) plan.segments.push_back(Segment{i, i, 0});
        Segment& segment = plan.segments.back();
        segment.end = i + 1;
        ++segment.points;
        segmenter.previous = i;
        const int32_t time = r.time; // a packed field: no reference to it
        if (plan.trackPoints++ == 0) plan.firstTime = plan.lastTime = time;
        plan.firstTime = std::min(plan.firstTime, time);
        plan.lastTime = std::max(plan.lastTime, time);
    }

    LineWalk walk{records, count, options.layout, options.merge};
    for (LogLine line; nextLine(walk, line);) {
        if (line.observation == kNoRecord) continue;
        if (!isTrackPoint(records[line.observation])) {
            ++plan.leftOut.observations;
            continue;
        }
        Observation o;
        o.record = line.observation;
        o.records = line.observationRecords;
        o.typeCount = line.typeCount;
        for (uint8_t k = 0; k < line.typeCount; ++k) o.types[k] = line.types[k];
        plan.observations.push_back(o);
    }
    return plan;
}
