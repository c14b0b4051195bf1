// Darwin Core occurrences of the observations: the terms, in column order,
// and the pieces of an archive that describe them.
#pragma once

#include "writers.h"

#include <string>

struct DwcTerm {
    const char* name;
    const char* iri;
};

extern const DwcTerm kDwcTerms[];
extern const std::size_t kDwcTermCount;

// meta.xml: occurrence.txt is the core, its columns the terms above.
std::string dwcMetaXml();
// eml.xml: the dataset's title, creator and coverage.
std::string dwcEmlXml(const ExportInput& in);
