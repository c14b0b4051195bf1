// A picture of a drive, laid out once and drawn by the SVG and PNG writers:
// the track in Web Mercator, the observations as markers coloured by kind, a
// legend, a scale bar, a north arrow, and a title with the date range (local
// time) and the record count. No map tiles: nothing is fetched.
#pragma once

#include "observation_style.h"
#include "writers.h"

#include <string>
#include <vector>

struct PixelPoint {
    double x, y;
};

struct PictureMarker {
    PixelPoint at;
    Rgb colour;
};

struct LegendEntry {
    std::string label; // "wildlife crossing (3)"
    Rgb colour;
};

struct Picture {
    int width = 1200;
    int height = 900;
    std::string title;
    std::string subtitle;
    // Each segment as a polyline, thinned to the points half a pixel or more
    // apart; a segment of one point is a polyline of one point.
    std::vector<std::vector<PixelPoint>> lines;
    std::vector<PictureMarker> markers;
    std::vector<LegendEntry> legend;
    PixelPoint legendAt;   // top left corner of the legend box
    double legendWidth = 0;
    PixelPoint scaleAt;    // left end of the scale bar
    double scaleLength = 0; // pixels
    std::string scaleLabel; // "500 m", "2 km"
    PixelPoint northAt;    // tip of the north arrow
};

constexpr Rgb kTrackColour{0x1f, 0x4e, 0xc0};
constexpr Rgb kBackground{0xf7, 0xf7, 0xf2};
constexpr Rgb kInk{0x22, 0x22, 0x22};
constexpr double kTitleSize = 22;
constexpr double kTextSize = 15;
constexpr double kLegendRow = 22;

Picture planPicture(const ExportInput& in);

// Width of a text in the picture's sans-serif font, about: no font metrics
// are at hand for the SVG, which the viewer draws.
double textWidth(const std::string& text, double size);
