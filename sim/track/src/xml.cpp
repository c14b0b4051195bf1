#include "xml.h"

#include <charconv>

namespace track::xml {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

std::string_view localName(std::string_view qname) {
    const auto colon = qname.rfind(':');
    return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

void advance(Reader& r, std::size_t to) {
    for (; r.pos < to; ++r.pos)
        if (r.doc[r.pos] == '\n') ++r.line;
}

bool fail(const Reader& r, std::string& error, const std::string& what) {
    error = "line " + std::to_string(r.line) + ": " + what;
    return false;
}

void appendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Appends `raw` with its entity and character references replaced.
bool decode(std::string_view raw, std::string& out, std::string& what) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '&') {
            out += raw[i];
            continue;
        }
        const auto semi = raw.find(';', i);
        if (semi == std::string_view::npos || semi - i > 12) {
            what = "unterminated entity reference";
            return false;
        }
        const std::string_view ref = raw.substr(i + 1, semi - i - 1);
        if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "amp") out += '&';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() > 1 && ref[0] == '#') {
            const bool hex = ref[1] == 'x' || ref[1] == 'X';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            unsigned long cp = 0;
            const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || cp == 0 ||
                cp > 0x10FFFF) {
                what = "bad character reference &" + std::string(ref) + ";";
                return false;
            }
            appendUtf8(out, cp);
        } else {
            what = "unknown entity &" + std::string(ref) + ";";
            return false;
        }
        i = semi;
    }
    return true;
}

// Skips a construct that ends with `close`, starting at r.pos.
bool skipPast(Reader& r, std::string_view close, std::string& error, const char* what) {
    const auto end = r.doc.find(close, r.pos);
    if (end == std::string_view::npos) return fail(r, error, std::string("unterminated ") + what);
    advance(r, end + close.size());
    return true;
}

bool readTag(Reader& r, Event& ev, std::string& error) {
    const bool isEnd = r.doc[r.pos + 1] == '/';
    std::size_t i = r.pos + (isEnd ? 2 : 1);
    const std::size_t nameStart = i;
    while (i < r.doc.size() && isNameChar(r.doc[i])) ++i;
    if (i == nameStart) return fail(r, error, "tag without a name");
    ev.kind = isEnd ? Kind::End : Kind::Start;
    ev.name = localName(r.doc.substr(nameStart, i - nameStart));
    for (;;) {
        const std::size_t before = i;
        while (i < r.doc.size() && isSpace(r.doc[i])) ++i;
        if (i >= r.doc.size()) return fail(r, error, "unterminated tag <" + std::string(ev.name) + ">");
        const char c = r.doc[i];
        if (c == '>') {
            advance(r, i + 1);
            return true;
        }
        if (!isEnd && c == '/' && i + 1 < r.doc.size() && r.doc[i + 1] == '>') {
            ev.selfClosing = true;
            advance(r, i + 2);
            return true;
        }
        if (isEnd || i == before) return fail(r, error, "malformed tag <" + std::string(ev.name) + ">");
        const std::size_t attrStart = i;
        while (i < r.doc.size() && isNameChar(r.doc[i])) ++i;
        if (i == attrStart) return fail(r, error, "malformed attribute in <" + std::string(ev.name) + ">");
        const std::string_view attr = localName(r.doc.substr(attrStart, i - attrStart));
        while (i < r.doc.size() && isSpace(r.doc[i])) ++i;
        if (i >= r.doc.size() || r.doc[i] != '=') return fail(r, error, "attribute " + std::string(attr) + " has no value");
        ++i;
        while (i < r.doc.size() && isSpace(r.doc[i])) ++i;
        if (i >= r.doc.size() || (r.doc[i] != '"' && r.doc[i] != '\''))
            return fail(r, error, "attribute " + std::string(attr) + " value is not quoted");
        const auto close = r.doc.find(r.doc[i], i + 1);
        if (close == std::string_view::npos) return fail(r, error, "unterminated value of attribute " + std::string(attr));
        std::string value, what;
        if (!decode(r.doc.substr(i + 1, close - i - 1), value, what)) return fail(r, error, what);
        ev.attributes.emplace_back(attr, std::move(value));
        i = close + 1;
    }
}

} // namespace

bool next(Reader& r, Event& ev, std::string& error) {
    ev = Event{};
    for (;;) {
        ev.line = r.line;
        if (r.pos >= r.doc.size()) {
            ev.kind = Kind::Done;
            return true;
        }
        const std::string_view rest = r.doc.substr(r.pos);
        if (rest[0] != '<') {
            const auto lt = r.doc.find('<', r.pos);
            const std::size_t end = lt == std::string_view::npos ? r.doc.size() : lt;
            std::string what;
            if (!decode(r.doc.substr(r.pos, end - r.pos), ev.text, what)) return fail(r, error, what);
            advance(r, end);
            ev.kind = Kind::Text;
            return true;
        }
        if (rest.starts_with("<!--")) {
            if (!skipPast(r, "-->", error, "comment")) return false;
        } else if (rest.starts_with("<![CDATA[")) {
            const auto end = r.doc.find("]]>", r.pos);
            if (end == std::string_view::npos) return fail(r, error, "unterminated CDATA section");
            ev.text.assign(r.doc.substr(r.pos + 9, end - r.pos - 9));
            advance(r, end + 3);
            ev.kind = Kind::Text;
            return true;
        } else if (rest.starts_with("<?")) {
            if (!skipPast(r, "?>", error, "processing instruction")) return false;
        } else if (rest.starts_with("<!")) {
            // A DOCTYPE; an internal subset is not supported.
            const auto gt = r.doc.find('>', r.pos);
            const auto bracket = r.doc.find('[', r.pos);
            if (bracket != std::string_view::npos && (gt == std::string_view::npos || bracket < gt))
                return fail(r, error, "DOCTYPE with an internal subset is not supported");
            if (!skipPast(r, ">", error, "declaration")) return false;
        } else if (rest.size() < 2) {
            return fail(r, error, "document ends inside a tag");
        } else {
            return readTag(r, ev, error);
        }
    }
}

const std::string* attribute(const Event& ev, std::string_view name) {
    for (const auto& [key, value] : ev.attributes)
        if (key == name) return &value;
    return nullptr;
}

} // namespace track::xml
