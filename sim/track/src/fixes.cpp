#include "track/gpx.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>

namespace track {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kDeadWildlife = 19;
constexpr int kWildlifeCrossing = 5;

bool contains(std::string_view haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           }) != haystack.end();
}

struct Located {
    std::size_t segment;
    std::size_t index;
};

// Speed of point i of a segment, m/s, from its neighbour when it has none.
double speedAt(const std::vector<TrackPoint>& pts, std::size_t i) {
    if (pts[i].hasSpeed) return pts[i].speed;
    auto rate = [&](std::size_t a, std::size_t b) {
        const double dt = pts[b].time - pts[a].time;
        if (!pts[a].hasTime || !pts[b].hasTime || dt <= 0) return 0.0;
        return distanceMetres(pts[a].latitude, pts[a].longitude, pts[b].latitude, pts[b].longitude) / dt;
    };
    if (i > 0) return rate(i - 1, i);
    if (i + 1 < pts.size()) return rate(i, i + 1);
    return 0.0;
}

} // namespace

double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    constexpr double kEarthRadius = 6371008.8;
    const double rad = kPi / 180.0;
    const double dLat = (lat2 - lat1) * rad, dLon = (lon2 - lon1) * rad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1 * rad) * std::cos(lat2 * rad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

int observationType(const Waypoint& w) {
    int number = 0;
    const auto [end, ec] = std::from_chars(w.type.data(), w.type.data() + w.type.size(), number);
    if (!w.type.empty() && ec == std::errc() && end == w.type.data() + w.type.size() && number >= 1 && number <= 127)
        return number;
    for (const std::string* text : {&w.type, &w.symbol, &w.name})
        if (contains(*text, "dead") || contains(*text, "roadkill") || contains(*text, "carcass")) return kDeadWildlife;
    for (const std::string* text : {&w.type, &w.symbol, &w.name})
        if (contains(*text, "crossing")) return kWildlifeCrossing;
    return 0;
}

std::vector<logimage::Fix> toFixes(const Gpx& gpx, const FixOptions& options) {
    std::vector<logimage::Fix> fixes;
    std::vector<Located> origin;
    for (std::size_t s = 0; s < gpx.segments.size(); ++s) {
        const auto& pts = gpx.segments[s].points;
        for (std::size_t i = 0; i < pts.size(); ++i) {
            if (!pts[i].hasTime) continue;
            logimage::Fix f;
            f.time = static_cast<int64_t>(std::floor(pts[i].time));
            f.latitude = pts[i].latitude;
            f.longitude = pts[i].longitude;
            f.speedKmh = speedAt(pts, i) * 3.6;
            f.speedLimitKmh = options.speedLimitKmh;
            fixes.push_back(f);
            origin.push_back({s, i});
        }
    }
    for (const Waypoint& w : gpx.waypoints) {
        const int type = observationType(w);
        if (type == 0) continue;
        std::size_t best = fixes.size();
        double bestKey = std::numeric_limits<double>::infinity();
        for (std::size_t k = 0; k < fixes.size(); ++k) {
            if (fixes[k].observation != 0) continue;
            const TrackPoint& p = gpx.segments[origin[k].segment].points[origin[k].index];
            const double d = distanceMetres(w.latitude, w.longitude, p.latitude, p.longitude);
            if (d > options.observationRadiusMetres) continue;
            const double key = w.hasTime ? std::abs(p.time - w.time) : d;
            if (key < bestKey) {
                bestKey = key;
                best = k;
            }
        }
        if (best < fixes.size()) fixes[best].observation = static_cast<uint8_t>(type);
    }
    return fixes;
}

} // namespace track
