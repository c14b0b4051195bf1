#include "picture.h"

#include "timetext.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kEarthRadius = 6378137.0; // metres, of the Web Mercator sphere
constexpr double kMaxLatitude = 85.0511287798;
constexpr double kMinimumSpanMetres = 30; // a stationary log still shows its spread
constexpr double kMarginLeft = 60, kMarginRight = 60, kMarginTop = 110, kMarginBottom = 60;

struct Mercator {
    bool shiftWest = false; // a drive across 180 degrees: west longitudes are taken as above 180

    double x(double longitude) const { return (shiftWest && longitude < 0 ? longitude + 360 : longitude) * kPi / 180; }
    static double y(double latitude) {
        const double phi = std::clamp(latitude, -kMaxLatitude, kMaxLatitude) * kPi / 180;
        return std::log(std::tan(kPi / 4 + phi / 2));
    }
    static double latitudeAt(double y) { return (2 * std::atan(std::exp(y)) - kPi / 2) * 180 / kPi; }
};

struct Frame {
    Mercator m;
    double scale = 1;    // pixels per Mercator unit
    double x0 = 0, y0 = 0; // Mercator point at the picture's centre
    double cx = 0, cy = 0; // the centre in pixels

    PixelPoint at(const LogRecord& r) const {
        return {cx + (m.x(r.longitude) - x0) * scale, cy - (Mercator::y(r.latitude) - y0) * scale};
    }
};

Frame frame(const ExportInput& in, const Picture& p) {
    double west = 180, east = -180, south = 90, north = -90;
    for (const Segment& s : in.plan.segments)
        forEachPoint(in.records, s, [&](std::size_t i) {
            west = std::min<double>(west, in.records[i].longitude);
            east = std::max<double>(east, in.records[i].longitude);
            south = std::min<double>(south, in.records[i].latitude);
            north = std::max<double>(north, in.records[i].latitude);
        });
    Frame f;
    if (east - west > 180) {
        // Narrower the other way round the earth?
        double shiftedWest = 360, shiftedEast = 0;
        for (const Segment& s : in.plan.segments)
            forEachPoint(in.records, s, [&](std::size_t i) {
                const double lon = in.records[i].longitude < 0 ? in.records[i].longitude + 360 : in.records[i].longitude;
                shiftedWest = std::min(shiftedWest, lon);
                shiftedEast = std::max(shiftedEast, lon);
            });
        f.m.shiftWest = shiftedEast - shiftedWest < east - west;
        if (f.m.shiftWest) {
            west = shiftedWest;
            east = shiftedEast;
        }
    }
    const double xWest = west * kPi / 180, xEast = east * kPi / 180;
    const double ySouth = Mercator::y(south), yNorth = Mercator::y(north);
    f.x0 = (xWest + xEast) / 2;
    f.y0 = (ySouth + yNorth) / 2;
    const double metresPerUnit = kEarthRadius * std::cos(Mercator::latitudeAt(f.y0) * kPi / 180);
    const double minimumSpan = kMinimumSpanMetres / std::max(metresPerUnit, 1.0);
    const double spanX = std::max(xEast - xWest, minimumSpan), spanY = std::max(yNorth - ySouth, minimumSpan);
    const double width = p.width - kMarginLeft - kMarginRight, height = p.height - kMarginTop - kMarginBottom;
    f.scale = std::min(width / spanX, height / spanY);
    f.cx = kMarginLeft + width / 2;
    f.cy = kMarginTop + height / 2;
    return f;
}

std::vector<PixelPoint> thinnedLine(const ExportInput& in, const Segment& s, const Frame& f) {
    std::vector<PixelPoint> line;
    PixelPoint last{};
    bool lastDropped = false;
    forEachPoint(in.records, s, [&](std::size_t i) {
        last = f.at(in.records[i]);
        lastDropped = !line.empty() && std::fabs(last.x - line.back().x) < 0.5 && std::fabs(last.y - line.back().y) < 0.5;
        if (!lastDropped) line.push_back(last);
    });
    if (lastDropped && line.size() > 1) line.back() = last; // the segment ends where it ends
    return line;
}

// 1, 2 or 5 times a power of ten metres, at most `maxPixels` long.
void placeScaleBar(Picture& p, const Frame& f) {
    const double metresPerPixel =
        kEarthRadius * std::cos(Mercator::latitudeAt(f.y0) * kPi / 180) / f.scale;
    constexpr double kMaxPixels = 200;
    double metres = 1;
    for (double decade = 1; decade < 2e7; decade *= 10)
        for (const double step : {1.0, 2.0, 5.0})
            if (step * decade / metresPerPixel <= kMaxPixels) metres = step * decade;
    p.scaleLength = metres / metresPerPixel;
    char label[32];
    if (metres >= 1000)
        std::snprintf(label, sizeof label, "%.0f km", metres / 1000);
    else
        std::snprintf(label, sizeof label, "%.0f m", metres);
    p.scaleLabel = label;
    p.scaleAt = {30, p.height - 30.0};
}

std::string localText(int64_t time, bool withDate, std::string* zone) {
    LocalTime l{};
    if (!toLocalTime(time, l)) return isoUtc(time);
    char text[48];
    if (withDate)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", l.year, l.month, l.day, l.hour, l.minute);
    else
        std::snprintf(text, sizeof text, "%02d:%02d", l.hour, l.minute);
    if (zone != nullptr) *zone = l.zone;
    return text;
}

void writeTitles(Picture& p, const ExportInput& in) {
    std::string zone;
    const std::string first = localText(in.plan.firstTime, true, &zone);
    const std::string lastFull = localText(in.plan.lastTime, true, nullptr);
    const bool sameDay = first.substr(0, 10) == lastFull.substr(0, 10);
    const std::string last = sameDay ? localText(in.plan.lastTime, false, nullptr) : lastFull;
    p.title = (in.options.datasetName.empty() ? std::string("Bexo log") : in.options.datasetName) + ", " + first +
              " \u2013 " + last + (zone.empty() ? "" : " " + zone);
    const std::size_t n = in.plan.observations.size();
    p.subtitle = std::to_string(in.plan.records) + (in.plan.records == 1 ? " record, " : " records, ") +
                 std::to_string(n) + (n == 1 ? " observation" : " observations");
    if (in.plan.leftOut.total() > 0) p.subtitle += ", " + std::to_string(in.plan.leftOut.total()) + " left out";
}

void placeObservations(Picture& p, const ExportInput& in, const Frame& f) {
    std::vector<std::string> names;
    std::vector<std::size_t> counts;
    for (const Observation& o : in.plan.observations) {
        const Rgb colour = observationColour(in.plan.layout, o.type());
        p.markers.push_back({f.at(in.records[o.record]), colour});
        const std::string name = observationName(in.plan.layout, o.type());
        const auto known = std::find(names.begin(), names.end(), name);
        if (known != names.end()) {
            ++counts[static_cast<std::size_t>(known - names.begin())];
            continue;
        }
        names.push_back(name);
        counts.push_back(1);
        p.legend.push_back({name, colour});
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        p.legend[k].label = names[k] + " (" + std::to_string(counts[k]) + ")";
        p.legendWidth = std::max(p.legendWidth, textWidth(p.legend[k].label, kTextSize) + 44);
    }
    p.legendAt = {p.width - 20 - p.legendWidth, kMarginTop - 20};
}

} // namespace

double textWidth(const std::string& text, double size) {
    std::size_t characters = 0;
    for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u;
    return static_cast<double>(characters) * size * 0.58;
}

Picture planPicture(const ExportInput& in) {
    Picture p;
    const Frame f = frame(in, p);
    for (const Segment& s : in.plan.segments) p.lines.push_back(thinnedLine(in, s, f));
    placeObservations(p, in, f);
    placeScaleBar(p, f);
    p.northAt = {40, kMarginTop - 10};
    writeTitles(p, in);
    return p;
}
