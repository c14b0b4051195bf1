#include "xmltext.h"

namespace {

const char* entityFor(char c) {
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
    default: return nullptr;
    }
}

} // namespace

void putXmlEscaped(TextSink& out, std::string_view text) {
    for (const char c : text) {
        if (const char* entity = entityFor(c))
            out.put(entity);
        else
            out.put(c);
    }
}

std::string xmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        if (const char* entity = entityFor(c))
            escaped += entity;
        else
            escaped += c;
    }
    return escaped;
}
