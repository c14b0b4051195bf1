// BexoLog Parser: turns a raw log image (the unit's log files laid end to
// end) into fixed 18-byte log records.
//
// Usage: call parselog once with records == nullptr to learn the count, then
// again with an array of that many records. Skip the second call when the
// count is 0: the family gate can report 0 while points exist, and the fill
// call writes one record per valid point regardless.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#  if defined(BEXOLOG_PARSER_BUILD)
#    define BEXOLOG_PARSER_API __declspec(dllexport)
#  else
#    define BEXOLOG_PARSER_API __declspec(dllimport)
#  endif
#else
#  define BEXOLOG_PARSER_API __attribute__((visibility("default")))
#endif

#pragma pack(push, 1)
// One logged position. Little-endian, packed, 18 bytes.
struct LogRecord {
    int32_t time;       // seconds since 1970-01-01 00:00:00 UTC
    float latitude;     // degrees, north positive
    float longitude;    // degrees, east positive
    float speed;        // km/h
    uint8_t speedLimit; // km/h
    uint8_t flags;      // bit 0: first point of a run; bits 1-7: observation type
};
#pragma pack(pop)
static_assert(sizeof(LogRecord) == 18, "LogRecord is an 18-byte wire record");

extern "C" {
// Decodes `image`. Sets *count to the number of valid points (or 0 when the
// last log family read is older than the oldest usable version) and, when
// `records` is not null, writes one record per valid point. Always returns 1.
BEXOLOG_PARSER_API int parselog(const unsigned char* image, int length, LogRecord* records, int* count);

// Only the low 8 bits of `version` count. The default is 4.
BEXOLOG_PARSER_API void set_oldest_usable_version(int version);
}
