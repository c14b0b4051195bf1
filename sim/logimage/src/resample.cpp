#include "resample.h"

#include <algorithm>
#include <cmath>

namespace logimage {

namespace {

Fix between(const Fix& a, const Fix& b, int64_t time) {
    const double t = static_cast<double>(time - a.time) / static_cast<double>(b.time - a.time);
    Fix f = a;
    f.time = time;
    f.latitude = a.latitude + (b.latitude - a.latitude) * t;
    f.longitude = a.longitude + (b.longitude - a.longitude) * t;
    f.speedKmh = a.speedKmh + (b.speedKmh - a.speedKmh) * t;
    f.observation = 0;
    return f;
}

std::vector<Fix> mergeSameSecond(std::vector<Fix> fixes) {
    std::stable_sort(fixes.begin(), fixes.end(), [](const Fix& a, const Fix& b) { return a.time < b.time; });
    std::vector<Fix> out;
    for (const Fix& f : fixes) {
        if (!out.empty() && out.back().time == f.time) {
            if (out.back().observation == 0) out.back().observation = f.observation;
            continue;
        }
        out.push_back(f);
    }
    return out;
}

} // namespace

std::vector<Fix> resample(std::vector<Fix> fixes, int interval, int bridge, bool observationsLogged) {
    fixes = mergeSameSecond(std::move(fixes));
    std::vector<Fix> out;
    if (fixes.empty()) return out;
    int64_t next = fixes.front().time;
    for (std::size_t i = 0; i < fixes.size(); ++i) {
        const Fix& f = fixes[i];
        if (i > 0) {
            const Fix& prev = fixes[i - 1];
            // Across the antimeridian a straight blend would be wrong: leave such gaps open.
            if (f.time - prev.time <= bridge && std::abs(f.longitude - prev.longitude) <= 180.0)
                for (; next < f.time; next += interval) out.push_back(between(prev, f, next));
        }
        if (f.observation != 0 && observationsLogged) {
            out.push_back(f);
            next = f.time + interval;
        } else if (f.time >= next) {
            out.push_back(f);
            next = f.time + interval;
        }
    }
    return out;
}

} // namespace logimage
