// Character data and attribute values in XML.
#pragma once

#include "textsink.h"

#include <string>
#include <string_view>

// Escapes &, <, >, " and '. The text must be valid UTF-8 without control
// characters (see cleanText); the exports write nothing else.
void putXmlEscaped(TextSink& out, std::string_view text);
std::string xmlEscaped(std::string_view text);
