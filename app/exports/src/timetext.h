// Times as people and programs read them. Log times are seconds since 1970
// UTC; only times of 0 and later reach the exports.
#pragma once

#include <cstdint>
#include <string>

constexpr std::size_t kIsoUtcLength = 20;

// "2008-03-18T14:19:07Z" into out[0..19]; no terminating zero.
void writeIsoUtc(char* out, int64_t time);
std::string isoUtc(int64_t time);
std::string isoUtcDate(int64_t time); // "2008-03-18"

struct LocalTime {
    int year, month, day, hour, minute, second;
    int offsetSeconds; // local minus UTC
    std::string zone;  // the zone's abbreviation, as the C library names it
};

// Under the process's time zone (TZ). False when the conversion fails.
bool toLocalTime(int64_t time, LocalTime& out);
// "2008-03-18T15:19:07+01:00", or "" when the conversion fails.
std::string isoLocal(int64_t time);

// Local times of many records: the offset is looked up once a minute, as
// zones change their offset only on whole minutes.
struct LocalClock {
    int64_t minute = INT64_MIN;
    int offsetSeconds = 0;
    bool known = false;
};
constexpr std::size_t kIsoLocalLength = 25;
// "2008-03-18T15:19:07+01:00" into out[0..24]; false (nothing written) when
// the conversion fails.
bool writeIsoLocal(LocalClock& clock, int64_t time, char* out);

// Days since 1970-01-01 of a calendar date, and back.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day);
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day);
