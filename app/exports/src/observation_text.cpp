#include "writers.h"

std::string observationNames(LogLayout layout, const Observation& o) {
    std::string names;
    for (uint8_t k = 0; k < o.typeCount; ++k) {
        const std::string name = observationName(layout, o.types[k]);
        if (names.find(name) != std::string::npos) continue; // two types may share a name
        if (!names.empty()) names += ", ";
        names += name;
    }
    return names;
}

std::string observationCodes(const Observation& o) {
    std::string codes;
    for (uint8_t k = 0; k < o.typeCount; ++k) {
        if (!codes.empty()) codes += ' ';
        codes += std::to_string(o.types[k]);
    }
    return codes;
}
