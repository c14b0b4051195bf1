// GPX 1.0/1.1 reader for recorded tracks and waypoints, and their conversion
// to the fixes the log-image encoder takes.
#pragma once

#include "logimage/track.h"

#include <string>
#include <string_view>
#include <vector>

namespace track {

struct TrackPoint {
    double latitude = 0;
    double longitude = 0;
    bool hasTime = false;
    double time = 0; // UTC seconds since 1970, with fractions
    bool hasSpeed = false;
    double speed = 0; // m/s, from a <speed> element (GPX 1.0, or an extension in 1.1)
};

struct Segment {
    std::vector<TrackPoint> points;
};

struct Waypoint {
    double latitude = 0;
    double longitude = 0;
    bool hasTime = false;
    double time = 0;
    std::string name;
    std::string symbol; // <sym>
    std::string type;   // <type>
};

struct Gpx {
    std::vector<Segment> segments; // every trkseg of every trk, in document order
    std::vector<Waypoint> waypoints;
};

// Reads a GPX document. On malformed input returns false with a message
// naming the line ("line 7: end tag </trk> does not close <trkseg>").
bool parseGpx(std::string_view text, Gpx& out, std::string& error);
bool readGpxFile(const std::string& path, Gpx& out, std::string& error);

// "2004-08-07T03:29:08.379Z"; the zone may be Z, +hh:mm, -hh:mm or missing
// (taken as UTC). False when malformed.
bool parseTime(std::string_view text, double& seconds);

double distanceMetres(double lat1, double lon1, double lat2, double lon2);

// Observation type a waypoint stands for, 0 if none: a <type> that is a
// number 1..127 gives that number; otherwise its type, symbol and name are
// searched, case-insensitively, for "dead", "roadkill" or "carcass" (19, dead
// wildlife) and then "crossing" (5, wildlife crossing).
int observationType(const Waypoint& w);

struct FixOptions {
    double observationRadiusMetres = 50;
    uint8_t speedLimitKmh = 50;
};

// Track points with a time, in document order, as fixes (time rounded down to
// the second). Speed is the point's own, else distance over time to the
// neighbouring point of its segment. Each observation waypoint marks one
// point within the radius: the one nearest in time when the waypoint has a
// time, else the nearest; points already marked are passed over, and a
// waypoint with no point in reach is dropped.
std::vector<logimage::Fix> toFixes(const Gpx& gpx, const FixOptions& options = {});

} // namespace track
