// CSV of the records (every track point) or of the observations. Times in
// UTC, and beside them the local time of the process's zone (--tz), both ISO
// 8601; the names of the columns in a header row.
#include "csvtext.h"
#include "timetext.h"
#include "writers.h"

namespace {

constexpr const char* kRecordColumns = "record,time_utc,time_local,latitude,longitude,speed_kmh,speed_limit_kmh,flags,"
                                       "segment,observation_type,observation_name";
constexpr const char* kObservationColumns = "observation,record,time_utc,time_local,latitude,longitude,speed_kmh,"
                                            "speed_limit_kmh,observation_type,observation_name,types,names,records";

void putCommon(TextSink& out, LocalClock& clock, const LogRecord& r) {
    out.put(',').isoUtc(r.time).put(',');
    char local[kIsoLocalLength];
    if (writeIsoLocal(clock, r.time, local)) out.put(std::string_view(local, sizeof local));
    out.put(',').fixed(r.latitude, 6).put(',').fixed(r.longitude, 6).put(',').fixed(r.speed, 2).put(',');
    out.integer(r.speedLimit);
}

void writeRecordRows(const ExportInput& in, TextSink& out) {
    LocalClock clock;
    long long segmentNumber = 0;
    for (const Segment& s : in.plan.segments) {
        ++segmentNumber;
        forEachPoint(in.records, s, [&](std::size_t i) {
            const LogRecord& r = in.records[i];
            const unsigned type = observationType(r.flags);
            out.integer(static_cast<long long>(i) + 1);
            putCommon(out, clock, r);
            out.put(',').integer(r.flags).put(',').integer(segmentNumber).put(',').integer(type).put(',');
            if (type != 0) putCsvField(out, observationName(in.plan.layout, type));
            endCsvRow(out);
        });
    }
}

void writeObservationRows(const ExportInput& in, TextSink& out) {
    LocalClock clock;
    long long number = 0;
    for (const Observation& o : in.plan.observations) {
        const LogRecord& r = in.records[o.record];
        out.integer(++number).put(',').integer(static_cast<long long>(o.record) + 1);
        putCommon(out, clock, r);
        out.put(',').integer(o.type()).put(',');
        putCsvField(out, observationName(in.plan.layout, o.type()));
        out.put(',');
        putCsvField(out, observationCodes(o));
        out.put(',');
        putCsvField(out, observationNames(in.plan.layout, o));
        out.put(',').integer(static_cast<long long>(o.records));
        endCsvRow(out);
    }
}

} // namespace

void writeCsv(const ExportInput& in, TextSink& out) {
    const bool records = in.options.csvRows == CsvRows::Records;
    out.put(records ? kRecordColumns : kObservationColumns);
    endCsvRow(out);
    if (records)
        writeRecordRows(in, out);
    else
        writeObservationRows(in, out);
}
