// One occurrence per observation. The observer saw wildlife and no more: the
// taxon is the kingdom Animalia, and the kind of observation goes into
// occurrenceRemarks. occurrenceID is made of what was logged (time, position,
// type), so the same log gives the same identifiers in every export, and a
// longer log keeps those of its older observations; the rare exact repeat
// gets ":2", ":3"...
#include "csvtext.h"
#include "dwc.h"
#include "fingerprint.h"
#include "timetext.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#define BEXO_DWC(term) term, "http://rs.tdwg.org/dwc/terms/" term

const DwcTerm kDwcTerms[] = {
    {BEXO_DWC("occurrenceID")},  {BEXO_DWC("basisOfRecord")},
    {BEXO_DWC("eventDate")},     {BEXO_DWC("decimalLatitude")},
    {BEXO_DWC("decimalLongitude")}, {BEXO_DWC("geodeticDatum")},
    {BEXO_DWC("coordinateUncertaintyInMeters")}, {BEXO_DWC("occurrenceRemarks")},
    {BEXO_DWC("recordedBy")},    {BEXO_DWC("datasetName")},
    {BEXO_DWC("scientificName")}, {BEXO_DWC("kingdom")},
    {BEXO_DWC("taxonRank")},
};
const std::size_t kDwcTermCount = sizeof kDwcTerms / sizeof kDwcTerms[0];

namespace {

std::string baseId(const ExportInput& in, const Observation& o) {
    const LogRecord& r = in.records[o.record];
    std::string when = isoUtc(r.time);
    when.erase(std::remove_if(when.begin(), when.end(), [](char c) { return c == '-' || c == ':'; }), when.end());
    return "urn:bexo:occurrence:" + when + ":" + fixedText(r.latitude, 6) + ":" + fixedText(r.longitude, 6) + ":" +
           std::to_string(o.type());
}

// Eight bytes per observation while planning, and a counter only for the
// identifiers that repeat.
struct OccurrenceIds {
    std::vector<uint64_t> repeated;
    std::unordered_map<uint64_t, int> issued;

    explicit OccurrenceIds(const ExportInput& in) {
        std::vector<uint64_t> all;
        all.reserve(in.plan.observations.size());
        for (const Observation& o : in.plan.observations) all.push_back(fingerprint(baseId(in, o)));
        std::sort(all.begin(), all.end());
        for (std::size_t i = 1; i < all.size(); ++i)
            if (all[i] == all[i - 1] && (repeated.empty() || repeated.back() != all[i])) repeated.push_back(all[i]);
    }

    std::string next(const ExportInput& in, const Observation& o) {
        std::string id = baseId(in, o);
        const uint64_t h = fingerprint(id);
        if (!std::binary_search(repeated.begin(), repeated.end(), h)) return id;
        const int n = ++issued[h];
        return n == 1 ? id : id + ":" + std::to_string(n);
    }
};

} // namespace

void writeDwcCsv(const ExportInput& in, TextSink& out) {
    for (std::size_t t = 0; t < kDwcTermCount; ++t) {
        if (t > 0) out.put(',');
        out.put(kDwcTerms[t].name);
    }
    endCsvRow(out);
    OccurrenceIds ids(in);
    const std::string uncertainty = std::to_string(static_cast<long long>(in.options.uncertaintyMetres + 0.5));
    for (const Observation& o : in.plan.observations) {
        const LogRecord& r = in.records[o.record];
        putCsvField(out, ids.next(in, o));
        out.put(",HumanObservation,").isoUtc(r.time).put(',').fixed(r.latitude, 6).put(',').fixed(r.longitude, 6);
        out.put(",WGS84,").put(uncertainty).put(',');
        putCsvField(out, observationNames(in.plan.layout, o));
        out.put(',');
        putCsvField(out, in.options.recordedBy);
        out.put(',');
        putCsvField(out, in.options.datasetName);
        out.put(",Animalia,Animalia,kingdom");
        endCsvRow(out);
    }
}
