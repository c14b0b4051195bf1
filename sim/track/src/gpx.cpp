#include "track/gpx.h"

#include "xml.h"

#include <charconv>
#include <cmath>
#include <fstream>

namespace track {

namespace {

constexpr std::size_t kMaxDepth = 64;
constexpr std::size_t kMaxFileBytes = 256u << 20;

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool number(std::string_view text, double& value) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

enum class Open { None, TrackPoint, Waypoint };

struct Builder {
    Gpx& out;
    std::string& error;
    std::vector<std::string_view> stack;
    bool inSegment = false;
    Open open = Open::None;
    std::size_t openDepth = 0; // stack size with the open point on top
    TrackPoint point;
    Waypoint waypoint;
    std::string text;

    bool fail(int line, const std::string& what) {
        error = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool position(const xml::Event& ev, double& lat, double& lon) {
        const std::string* la = xml::attribute(ev, "lat");
        const std::string* lo = xml::attribute(ev, "lon");
        if (!la || !lo) {
            // Appended piece by piece: GCC 12 at -O3 misreads `"<" + std::string(...)` (-Wrestrict).
            std::string what = "<";
            what += ev.name;
            what += "> without lat and lon";
            return fail(ev.line, what);
        }
        if (!number(*la, lat) || std::abs(lat) > 90.0) return fail(ev.line, "bad latitude \"" + *la + "\"");
        if (!number(*lo, lon) || std::abs(lon) > 180.0) return fail(ev.line, "bad longitude \"" + *lo + "\"");
        return true;
    }

    bool start(const xml::Event& ev) {
        if (stack.empty() && ev.name != "gpx") return fail(ev.line, "not a GPX document (root <" + std::string(ev.name) + ">)");
        if (stack.size() >= kMaxDepth) return fail(ev.line, "elements nested too deeply");
        const std::string_view parent = stack.empty() ? std::string_view{} : stack.back();
        stack.push_back(ev.name);
        text.clear();
        if (open != Open::None) return true;
        if (ev.name == "trkseg" && parent == "trk") {
            out.segments.emplace_back();
            inSegment = true;
        } else if (ev.name == "trkpt" && parent == "trkseg" && inSegment) {
            point = TrackPoint{};
            open = Open::TrackPoint;
            openDepth = stack.size();
            return position(ev, point.latitude, point.longitude);
        } else if (ev.name == "wpt" && parent == "gpx") {
            waypoint = Waypoint{};
            open = Open::Waypoint;
            openDepth = stack.size();
            return position(ev, waypoint.latitude, waypoint.longitude);
        }
        return true;
    }

    // A child of the open point ends; `direct` when it sits right below it.
    bool field(std::string_view name, bool direct, int line) {
        const std::string_view value = trim(text);
        if (open == Open::TrackPoint) {
            if (direct && name == "time") {
                if (!parseTime(value, point.time)) return fail(line, "bad time \"" + std::string(value) + "\"");
                point.hasTime = true;
            } else if (name == "speed") { // GPX 1.1 keeps it in an extension
                if (!number(value, point.speed)) return fail(line, "bad speed \"" + std::string(value) + "\"");
                point.hasSpeed = true;
            }
        } else if (direct) {
            if (name == "time") {
                if (!parseTime(value, waypoint.time)) return fail(line, "bad time \"" + std::string(value) + "\"");
                waypoint.hasTime = true;
            } else if (name == "name") {
                waypoint.name = value;
            } else if (name == "sym") {
                waypoint.symbol = value;
            } else if (name == "type") {
                waypoint.type = value;
            }
        }
        return true;
    }

    bool end(const xml::Event& ev) {
        if (stack.empty()) return fail(ev.line, "end tag </" + std::string(ev.name) + "> without a start tag");
        if (stack.back() != ev.name)
            return fail(ev.line, "end tag </" + std::string(ev.name) + "> does not close <" + std::string(stack.back()) + ">");
        if (open != Open::None && stack.size() > openDepth) {
            if (!field(ev.name, stack.size() == openDepth + 1, ev.line)) return false;
        } else if (open != Open::None && stack.size() == openDepth) {
            if (open == Open::TrackPoint) out.segments.back().points.push_back(point);
            else out.waypoints.push_back(waypoint);
            open = Open::None;
        } else if (ev.name == "trkseg") {
            inSegment = false;
        }
        stack.pop_back();
        text.clear();
        return true;
    }
};

} // namespace

bool parseGpx(std::string_view doc, Gpx& out, std::string& error) {
    out = Gpx{};
    error.clear();
    Builder b{out, error, {}, false, Open::None, 0, {}, {}, {}};
    xml::Reader reader{doc};
    xml::Event ev;
    bool rootSeen = false;
    for (;;) {
        if (!xml::next(reader, ev, error)) return false;
        switch (ev.kind) {
        case xml::Kind::Done:
            if (!b.stack.empty())
                return b.fail(ev.line, "document ends inside <" + std::string(b.stack.back()) + ">");
            if (!rootSeen) return b.fail(ev.line, "no GPX element");
            return true;
        case xml::Kind::Text:
            if (b.stack.empty()) {
                if (!trim(ev.text).empty()) return b.fail(ev.line, "text outside the GPX element");
            } else {
                b.text += ev.text;
            }
            break;
        case xml::Kind::Start:
            if (b.stack.empty() && rootSeen) return b.fail(ev.line, "content after the GPX element");
            rootSeen = true;
            if (!b.start(ev)) return false;
            if (ev.selfClosing && !b.end(ev)) return false;
            break;
        case xml::Kind::End:
            if (!b.end(ev)) return false;
            break;
        }
    }
}

bool readGpxFile(const std::string& path, Gpx& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<std::size_t>(size) > kMaxFileBytes) {
        error = path + " is too large for a GPX track";
        return false;
    }
    in.seekg(0, std::ios::beg);
    std::string doc(static_cast<std::size_t>(size), '\0');
    if (!in.read(doc.data(), size)) {
        error = "cannot read " + path;
        return false;
    }
    if (!parseGpx(doc, out, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace track
