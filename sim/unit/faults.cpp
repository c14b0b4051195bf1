#include "faults.h"

#include <cctype>
#include <utility>

namespace vunit {

namespace {

struct Name {
    const char* text;
    FaultKind kind;
    bool valueRequired;
};

constexpr Name kNames[] = {
    {"drop-response", FaultKind::DropResponse, false},
    {"late-response", FaultKind::LateResponse, false},
    {"wrong-code", FaultKind::WrongCode, false},
    {"short-read", FaultKind::ShortRead, false},
    {"garbage", FaultKind::Garbage, false},
    {"unplug-after", FaultKind::UnplugAfter, true},
    {"power-cut-program", FaultKind::PowerCutProgram, true},
    {"power-cut-erase", FaultKind::PowerCutErase, true},
    {"power-cut", FaultKind::PowerCut, true},
    {"power-off", FaultKind::PowerOff, true},
    {"stall-output", FaultKind::StallOutput, false},
};

bool isCounted(FaultKind k) {
    return k == FaultKind::UnplugAfter || k == FaultKind::PowerCutProgram || k == FaultKind::PowerCutErase ||
           k == FaultKind::PowerCut || k == FaultKind::PowerOff;
}

std::optional<FaultSpec> parseOne(const std::string& word) {
    const size_t colon = word.find(':');
    const std::string name = word.substr(0, colon);
    for (const Name& n : kNames) {
        if (name != n.text) continue;
        FaultSpec spec;
        spec.kind = n.kind;
        if (colon == std::string::npos) {
            if (n.valueRequired) return std::nullopt;
            return spec;
        }
        const std::string digits = word.substr(colon + 1);
        if (digits.empty() || digits.size() > 9) return std::nullopt;
        uint32_t v = 0;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
            v = v * 10 + static_cast<uint32_t>(c - '0');
        }
        if (v == 0) return std::nullopt;
        spec.hasValue = true;
        spec.value = v;
        return spec;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::vector<FaultSpec>> parseFaults(const std::string& text) {
    std::vector<FaultSpec> specs;
    std::string word;
    auto flush = [&]() -> bool {
        if (word.empty()) return true;
        auto spec = parseOne(word);
        word.clear();
        if (!spec) return false;
        specs.push_back(*spec);
        return true;
    };
    for (char c : text) {
        if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            if (!flush()) return std::nullopt;
        } else {
            word += c;
        }
    }
    if (!flush() || specs.empty()) return std::nullopt;
    return specs;
}

void arm(Faults& faults, const std::vector<FaultSpec>& specs) {
    faults.armed.insert(faults.armed.end(), specs.begin(), specs.end());
}

std::optional<FaultSpec> take(Faults& faults, FaultKind kind) {
    for (auto it = faults.armed.begin(); it != faults.armed.end(); ++it) {
        if (it->kind != kind) continue;
        FaultSpec spec = *it;
        faults.armed.erase(it);
        return spec;
    }
    return std::nullopt;
}

bool countDown(Faults& faults, FaultKind kind) {
    if (!isCounted(kind)) return false;
    bool fired = false;
    for (auto it = faults.armed.begin(); it != faults.armed.end();) {
        if (it->kind == kind) {
            if (it->value > 1) {
                --it->value;
            } else if (!fired) {
                fired = true;
                it = faults.armed.erase(it);
                continue;
            } // else due as well: it fires at the next event, one per event
        }
        ++it;
    }
    return fired;
}

} // namespace vunit
