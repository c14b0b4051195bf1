// Decodes an image the way the export program does: count, then fill an
// array of exactly that many records.
#pragma once

#include "bexolog_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace logimage_test {

// A record's fields, unpacked: gtest binds references to what it compares,
// and the packed record's fields are misaligned.
struct Point {
    int32_t time;
    float latitude;
    float longitude;
    float speed;
    int speedLimit;
    int flags;
};

inline std::vector<LogRecord> decodeRecords(const std::vector<uint8_t>& image) {
    int count = -1;
    EXPECT_EQ(parselog(image.data(), static_cast<int>(image.size()), nullptr, &count), 1);
    std::vector<LogRecord> records(static_cast<std::size_t>(count > 0 ? count : 0));
    if (count > 0) {
        int filled = -1;
        parselog(image.data(), static_cast<int>(image.size()), records.data(), &filled);
        EXPECT_EQ(filled, count);
    }
    return records;
}

inline std::vector<Point> decode(const std::vector<uint8_t>& image) {
    std::vector<Point> points;
    for (const LogRecord& r : decodeRecords(image))
        points.push_back({r.time, r.latitude, r.longitude, r.speed, r.speedLimit, r.flags});
    return points;
}

// Families 1 to 3 sit below the default oldest usable version (4); their
// images report records only while this is in scope.
struct AllFamilies {
    AllFamilies() { set_oldest_usable_version(0); }
    ~AllFamilies() { set_oldest_usable_version(4); }
    AllFamilies(const AllFamilies&) = delete;
    AllFamilies& operator=(const AllFamilies&) = delete;
};

inline int runStarts(const std::vector<Point>& records) {
    int n = 0;
    for (const Point& r : records) n += r.flags & 1;
    return n;
}

// Largest coordinate error of a family-5 shift (or 2 in families 3 and 4):
// half a fraction step, the reader's truncation and the float's rounding.
inline double coordinateTolerance(unsigned shift) {
    return (1u << shift) * 65536.0 / 14316.0 / 600000.0 / 2 + 1e-5;
}

} // namespace logimage_test
