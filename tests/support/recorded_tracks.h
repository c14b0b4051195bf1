// The repository's recorded GPS tracks, laid into log images as a unit would
// have logged them, with observations marked along the way so that every
// merge rule of the text layouts has something to act on.
#pragma once

#include "bexolog_parser.h"
#include "logimage/logimage.h"
#include "track/gpx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace recorded {

struct TrackImage {
    std::string name; // "logger-a"
    std::vector<logimage::Fix> fixes;
    std::vector<uint8_t> image;
};

// Observation type marked on fix i: a crossing closely followed by dead
// wildlife, a type 20 with a crossing after it, a type 7 cancelled by the type 9 after it, and
// types 32 and 33 (bit 6 of `flags`, the flag layout's dead-wildlife flag).
inline uint8_t markedType(std::size_t i) {
    switch (i % 37) {
    case 5: return 5;
    case 6: return 19;
    case 12: return 32;
    case 13: return 33;
    case 20: return 20;
    case 21: return 5;
    case 29: return 7;
    case 30: return 9;
    default: return 0;
    }
}

using Marking = uint8_t (*)(std::size_t);

// logger-a logs every 5 s, logger-b every second; both into family-5 images.
inline TrackImage load(const std::string& name, Marking mark = markedType) {
    TrackImage t;
    t.name = name;
    track::Gpx gpx;
    std::string error;
    EXPECT_TRUE(track::readGpxFile(std::string(BEXO_TEST_DATA) + "/tracks/" + name + ".gpx", gpx, error)) << error;
    t.fixes = track::toFixes(gpx);
    for (std::size_t i = 0; i < t.fixes.size(); ++i) t.fixes[i].observation = mark(i);
    t.image = logimage::encodeTrack(t.fixes, {5, name == "logger-a" ? 5 : 1});
    logimage::padTo(t.image, t.image.size() + 64);
    return t;
}

inline std::vector<TrackImage> all(Marking mark = markedType) { return {load("logger-a", mark), load("logger-b", mark)}; }

inline std::vector<LogRecord> records(const std::vector<uint8_t>& image) {
    int count = 0;
    parselog(image.data(), static_cast<int>(image.size()), nullptr, &count);
    std::vector<LogRecord> out(static_cast<std::size_t>(count));
    if (count > 0) parselog(image.data(), static_cast<int>(image.size()), out.data(), &count);
    return out;
}

} // namespace recorded
