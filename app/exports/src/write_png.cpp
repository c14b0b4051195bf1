// The picture as PNG, drawn with cairo: the same layout as the SVG.
#include "picture.h"

#include <cairo.h>

namespace {

void setColour(cairo_t* cr, Rgb c) { cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0); }

void text(cairo_t* cr, double x, double y, double size, const std::string& s, bool bold = false, bool centred = false) {
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    if (centred) {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, s.c_str(), &extents);
        x -= extents.x_advance / 2;
    }
    setColour(cr, kInk);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, s.c_str());
}

void marker(cairo_t* cr, PixelPoint at, Rgb colour) {
    cairo_arc(cr, at.x, at.y, 6, 0, 6.283185307179586);
    setColour(cr, colour);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

void drawTrack(cairo_t* cr, const Picture& p) {
    setColour(cr, kTrackColour);
    cairo_set_line_width(cr, 2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (const auto& line : p.lines) {
        if (line.size() == 1) {
            cairo_arc(cr, line[0].x, line[0].y, 2, 0, 6.283185307179586);
            cairo_fill(cr);
            continue;
        }
        cairo_move_to(cr, line[0].x, line[0].y);
        for (std::size_t i = 1; i < line.size(); ++i) cairo_line_to(cr, line[i].x, line[i].y);
        cairo_stroke(cr);
    }
}

void drawLegend(cairo_t* cr, const Picture& p) {
    if (p.legend.empty()) return;
    const double height = 12 + kLegendRow * static_cast<double>(p.legend.size());
    cairo_rectangle(cr, p.legendAt.x + 0.5, p.legendAt.y + 0.5, p.legendWidth, height);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    for (std::size_t k = 0; k < p.legend.size(); ++k) {
        const double y = p.legendAt.y + 6 + kLegendRow * (static_cast<double>(k) + 0.5);
        marker(cr, {p.legendAt.x + 16, y}, p.legend[k].colour);
        text(cr, p.legendAt.x + 30, y + 5, kTextSize, p.legend[k].label);
    }
}

void drawScaleAndNorth(cairo_t* cr, const Picture& p) {
    const double x = p.scaleAt.x, y = p.scaleAt.y;
    setColour(cr, kInk);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, x, y - 6);
    cairo_line_to(cr, x, y);
    cairo_line_to(cr, x + p.scaleLength, y);
    cairo_line_to(cr, x + p.scaleLength, y - 6);
    cairo_stroke(cr);
    text(cr, x + p.scaleLength + 8, y + 5, kTextSize, p.scaleLabel);

    const PixelPoint n = p.northAt;
    cairo_move_to(cr, n.x, n.y);
    cairo_line_to(cr, n.x - 9, n.y + 28);
    cairo_line_to(cr, n.x, n.y + 21);
    cairo_line_to(cr, n.x + 9, n.y + 28);
    cairo_close_path(cr);
    setColour(cr, kInk);
    cairo_fill(cr);
    text(cr, n.x, n.y + 46, kTextSize, "N", true, true);
}

cairo_status_t toFile(void* closure, const unsigned char* data, unsigned int length) {
    return std::fwrite(data, 1, length, static_cast<FILE*>(closure)) == length ? CAIRO_STATUS_SUCCESS
                                                                              : CAIRO_STATUS_WRITE_ERROR;
}

} // namespace

bool writePng(const ExportInput& in, FILE* file, std::string& error) {
    const Picture p = planPicture(in);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, p.width, p.height);
    cairo_t* cr = cairo_create(surface);
    cairo_font_options_t* font = cairo_font_options_create();
    cairo_font_options_set_antialias(font, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(font, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, font);
    cairo_font_options_destroy(font);
    setColour(cr, kBackground);
    cairo_paint(cr);
    drawTrack(cr, p);
    for (const PictureMarker& m : p.markers) marker(cr, m.at, m.colour);
    drawLegend(cr, p);
    drawScaleAndNorth(cr, p);
    text(cr, 20, 34, kTitleSize, p.title, true);
    text(cr, 20, 60, kTextSize, p.subtitle);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_write_to_png_stream(surface, toFile, file);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) error = cairo_status_to_string(status);
    return status == CAIRO_STATUS_SUCCESS;
}
