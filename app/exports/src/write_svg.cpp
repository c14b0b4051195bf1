// The picture as SVG 1.1, for any browser or vector editor.
#include "picture.h"
#include "xmltext.h"

namespace {

void putPoint(TextSink& out, PixelPoint p) { out.fixed(p.x, 1).put(',').fixed(p.y, 1); }

void putText(TextSink& out, double x, double y, double size, const std::string& text, const char* extra = "") {
    out.put("<text x=\"").fixed(x, 1).put("\" y=\"").fixed(y, 1).put("\" font-size=\"").fixed(size, 0).put('"');
    out.put(extra).put('>');
    putXmlEscaped(out, text);
    out.put("</text>\n");
}

void putTrack(TextSink& out, const Picture& p) {
    const std::string colour = hexColour(kTrackColour);
    out.put("<g fill=\"none\" stroke=\"").put(colour).put("\" stroke-width=\"2\" stroke-linejoin=\"round\" ");
    out.put("stroke-linecap=\"round\">\n");
    for (const auto& line : p.lines) {
        if (line.size() == 1) {
            out.put("<circle cx=\"").fixed(line[0].x, 1).put("\" cy=\"").fixed(line[0].y, 1);
            out.put("\" r=\"2\" fill=\"").put(colour).put("\"/>\n");
            continue;
        }
        out.put("<polyline points=\"");
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (i > 0) out.put(' ');
            putPoint(out, line[i]);
        }
        out.put("\"/>\n");
    }
    out.put("</g>\n");
}

void putMarkers(TextSink& out, const Picture& p) {
    out.put("<g stroke=\"#ffffff\" stroke-width=\"1.5\">\n");
    for (const PictureMarker& m : p.markers) {
        out.put("<circle cx=\"").fixed(m.at.x, 1).put("\" cy=\"").fixed(m.at.y, 1).put("\" r=\"6\" fill=\"");
        out.put(hexColour(m.colour)).put("\"/>\n");
    }
    out.put("</g>\n");
}

void putLegend(TextSink& out, const Picture& p) {
    if (p.legend.empty()) return;
    const double height = 12 + kLegendRow * static_cast<double>(p.legend.size());
    out.put("<rect x=\"").fixed(p.legendAt.x, 1).put("\" y=\"").fixed(p.legendAt.y, 1).put("\" width=\"");
    out.fixed(p.legendWidth, 1).put("\" height=\"").fixed(height, 1);
    out.put("\" fill=\"#ffffff\" fill-opacity=\"0.85\" stroke=\"#999999\"/>\n");
    for (std::size_t k = 0; k < p.legend.size(); ++k) {
        const double y = p.legendAt.y + 6 + kLegendRow * (static_cast<double>(k) + 0.5);
        out.put("<circle cx=\"").fixed(p.legendAt.x + 16, 1).put("\" cy=\"").fixed(y, 1).put("\" r=\"6\" fill=\"");
        out.put(hexColour(p.legend[k].colour)).put("\" stroke=\"#ffffff\" stroke-width=\"1.5\"/>\n");
        putText(out, p.legendAt.x + 30, y + 5, kTextSize, p.legend[k].label);
    }
}

void putScaleAndNorth(TextSink& out, const Picture& p) {
    const double x = p.scaleAt.x, y = p.scaleAt.y;
    out.put("<g stroke=\"#222222\" stroke-width=\"2\" fill=\"none\"><polyline points=\"");
    putPoint(out, {x, y - 6});
    out.put(' ');
    putPoint(out, {x, y});
    out.put(' ');
    putPoint(out, {x + p.scaleLength, y});
    out.put(' ');
    putPoint(out, {x + p.scaleLength, y - 6});
    out.put("\"/></g>\n");
    putText(out, x + p.scaleLength + 8, y + 5, kTextSize, p.scaleLabel);

    const PixelPoint n = p.northAt;
    out.put("<polygon points=\"");
    putPoint(out, n);
    out.put(' ');
    putPoint(out, {n.x - 9, n.y + 28});
    out.put(' ');
    putPoint(out, {n.x, n.y + 21});
    out.put(' ');
    putPoint(out, {n.x + 9, n.y + 28});
    out.put("\" fill=\"#222222\"/>\n");
    putText(out, n.x, n.y + 46, kTextSize, "N", " text-anchor=\"middle\" font-weight=\"bold\"");
}

} // namespace

void writeSvg(const ExportInput& in, TextSink& out) {
    const Picture p = planPicture(in);
    out.put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" ");
    out.put("width=\"").integer(p.width).put("\" height=\"").integer(p.height).put("\" viewBox=\"0 0 ");
    out.integer(p.width).put(' ').integer(p.height).put("\" font-family=\"DejaVu Sans, Arial, sans-serif\" fill=\"#222222\">\n");
    out.put("<title>");
    putXmlEscaped(out, p.title);
    out.put("</title>\n<rect width=\"").integer(p.width).put("\" height=\"").integer(p.height);
    out.put("\" fill=\"").put(hexColour(kBackground)).put("\"/>\n");
    putTrack(out, p);
    putMarkers(out, p);
    putLegend(out, p);
    putScaleAndNorth(out, p);
    putText(out, 20, 34, kTitleSize, p.title, " font-weight=\"bold\"");
    putText(out, 20, 60, kTextSize, p.subtitle);
    out.put("</svg>\n");
}
