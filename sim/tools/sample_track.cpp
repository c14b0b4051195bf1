#include "sample_track.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace sampletrack {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 111320.0;

struct Road {
    uint8_t limitKmh;
    int minSeconds, maxSeconds;
    bool lights; // stops now and then
};

constexpr Road kRoads[] = {{50, 60, 240, true}, {80, 120, 600, false}, {100, 300, 1200, false}, {40, 30, 120, true}};

// Whole numbers from the engine directly: std::mt19937's output is the same
// everywhere, unlike the standard distributions.
int between(std::mt19937& rng, int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<uint32_t>(hi - lo + 1)); }

} // namespace

std::vector<logimage::Fix> drive(const DriveOptions& o) {
    std::mt19937 rng(o.seed);
    std::vector<logimage::Fix> fixes;
    fixes.reserve(static_cast<std::size_t>(std::max(o.seconds, 0)));
    double lat = o.latitude, lon = o.longitude, heading = o.headingDegrees;
    double speed = 0; // m/s
    const Road* road = &kRoads[0];
    int roadLeft = 0, stopLeft = 0, turnLeft = 0;
    double turnRate = 0, cruise = 0;
    int nextObservation = o.observationEvery > 0 ? between(rng, o.observationEvery / 2, o.observationEvery * 3 / 2) : -1;
    for (int t = 0; t < o.seconds; ++t) {
        if (roadLeft <= 0) {
            road = &kRoads[between(rng, 0, 3)];
            roadLeft = between(rng, road->minSeconds, road->maxSeconds);
            cruise = road->limitKmh / 3.6 * between(rng, 85, 105) / 100.0;
            turnLeft = between(rng, 4, 9); // a junction between roads
            turnRate = (between(rng, 0, 1) ? 90.0 : -90.0) / turnLeft;
        }
        if (road->lights && stopLeft == 0 && between(rng, 0, 150) == 0) stopLeft = between(rng, 15, 45);
        const double target = stopLeft > 0 ? 0.0 : turnLeft > 0 ? std::min(cruise, 6.0) : cruise;
        // Gentle acceleration and firm braking, as a car does.
        speed += std::clamp(target - speed, -3.0, 1.8);
        if (turnLeft > 0 && speed > 1.0) {
            heading += turnRate;
            --turnLeft;
        } else if (turnLeft == 0) {
            heading += (between(rng, 0, 200) - 100) / 400.0; // road curvature
        }
        if (stopLeft > 0 && speed < 0.1) --stopLeft;
        --roadLeft;

        logimage::Fix f;
        f.time = o.start + t;
        f.latitude = lat;
        f.longitude = lon;
        f.speedKmh = speed * 3.6;
        f.speedLimitKmh = road->limitKmh;
        if (t == nextObservation) {
            f.observation = between(rng, 0, 1) ? 5 : 19;
            nextObservation += between(rng, o.observationEvery / 2, o.observationEvery * 3 / 2);
        }
        fixes.push_back(f);

        const double h = heading * kPi / 180.0;
        lat += speed * std::cos(h) / kMetresPerDegree;
        lon += speed * std::sin(h) / (kMetresPerDegree * std::cos(lat * kPi / 180.0));
    }
    return fixes;
}

} // namespace sampletrack
