// Minimal pull reader for the XML that GPX files use: elements, attributes,
// text, comments, CDATA, processing instructions and a DOCTYPE without an
// internal subset. It never recurses and never reads past the buffer.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace track::xml {

enum class Kind { Start, End, Text, Done };

struct Event {
    Kind kind = Kind::Done;
    std::string_view name; // local name, prefix dropped
    std::vector<std::pair<std::string_view, std::string>> attributes; // local names, values decoded
    std::string text; // decoded
    bool selfClosing = false;
    int line = 1;
};

struct Reader {
    std::string_view doc;
    std::size_t pos = 0;
    int line = 1;
};

// False with `error` set on malformed input. End tags are not matched here.
bool next(Reader& r, Event& ev, std::string& error);

const std::string* attribute(const Event& ev, std::string_view name);

} // namespace track::xml
