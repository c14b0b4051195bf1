#include "csvtext.h"

void putCsvField(TextSink& out, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.put(field);
        return;
    }
    out.put('"');
    for (const char c : field) {
        if (c == '"') out.put('"');
        out.put(c);
    }
    out.put('"');
}
