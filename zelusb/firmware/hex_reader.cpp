#include "hex_reader.h"

#include <algorithm>
#include <cstring>

namespace zel {

namespace {

constexpr size_t kMaxChipName = 15;

bool blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

struct Record {
    uint8_t count = 0;
    uint16_t address = 0;
    uint8_t type = 0;
    const char* data = nullptr; // 2 * count hex digits
};

uint8_t byteAt(const char* digits) { return static_cast<uint8_t>(hexDigit(digits[0]) << 4 | hexDigit(digits[1])); }

// Checks the whole record: every digit, the byte count against the length,
// the checksum.
bool parseRecord(std::string_view word, Record& r) {
    if (word.size() < 11 || word.size() % 2 == 0) return false;
    for (size_t i = 1; i < word.size(); ++i)
        if (hexDigit(word[i]) < 0) return false;
    const char* d = word.data() + 1;
    r.count = byteAt(d);
    if (word.size() != 11 + 2 * static_cast<size_t>(r.count)) return false;
    unsigned sum = 0;
    for (size_t i = 0; i < (word.size() - 1) / 2; ++i) sum += byteAt(d + 2 * i);
    if (sum % 256 != 0) return false;
    r.address = static_cast<uint16_t>(byteAt(d + 2) << 8 | byteAt(d + 4));
    r.type = byteAt(d + 6);
    r.data = d + 8;
    return true;
}

struct Cursor {
    size_t position = 0;
    unsigned line = 1; // of `position`
};

// The first word at or after `from`; empty when none is left.
std::string_view wordAt(std::string_view text, size_t from) {
    size_t start = from;
    while (start < text.size() && blank(text[start])) ++start;
    size_t end = start;
    while (end < text.size() && !blank(text[end])) ++end;
    return text.substr(std::min(start, text.size()), end - start);
}

unsigned linesIn(std::string_view text) { return static_cast<unsigned>(std::count(text.begin(), text.end(), '\n')); }

} // namespace

HexFile readHex(std::string_view text, uint8_t* image, size_t imageBytes) {
    HexFile out;
    Cursor c;
    uint32_t upper = 0;
    bool anyRecord = false, stored = false, ended = false;
    uint64_t lowest = 0;
    uint64_t end = 0;
    for (;;) {
        const std::string_view word = wordAt(text, c.position);
        if (word.empty()) break;
        const size_t wordStart = static_cast<size_t>(word.data() - text.data());
        const unsigned wordLine = c.line + linesIn(text.substr(c.position, wordStart - c.position));
        const size_t lineEnd = text.find('\n', wordStart + word.size());
        const size_t next = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
        c.line += linesIn(text.substr(c.position, next - c.position));
        c.position = next;
        if (word[0] != ':' || word.size() < 9) continue;

        Record r;
        if (!parseRecord(word, r)) {
            out.problem = HexProblem::BadRecord;
            out.badLine = wordLine;
            return out;
        }
        if (r.type == 1) {
            ended = true;
            break;
        }
        if (r.type == 4) {
            if (r.count != 2) {
                out.problem = HexProblem::BadRecord;
                out.badLine = wordLine;
                return out;
            }
            upper = static_cast<uint32_t>(byteAt(r.data) << 8 | byteAt(r.data + 2));
            continue;
        }
        if (r.type != 0) continue;
        const uint64_t start = static_cast<uint64_t>(upper) << 16 | r.address;
        lowest = anyRecord ? std::min(lowest, start) : start;
        anyRecord = true;
        for (unsigned i = 0; i < r.count; ++i) {
            const uint64_t a = start + i;
            if (a >= imageBytes) continue;
            image[a] = byteAt(r.data + 2 * i);
            stored = true;
            end = std::max(end, a + 1);
        }
    }
    out.lowestAddress = static_cast<uint32_t>(lowest);
    out.endAddress = static_cast<uint32_t>(end);
    if (!stored) {
        out.problem = HexProblem::NoData;
        return out;
    }
    // The name starts one character past the position: the line end's
    // follower is passed over.
    const std::string_view name = ended && c.position < text.size() ? wordAt(text, c.position + 1) : std::string_view{};
    if (name.empty()) {
        out.problem = HexProblem::NoChipName;
    } else if (name.size() > kMaxChipName) {
        out.problem = HexProblem::LongChipName;
    } else {
        std::memcpy(out.chipName, name.data(), name.size());
    }
    return out;
}

std::string_view boundedText(const char* text, int length) {
    if (!text) return {};
    if (length <= 0) return std::string_view(text);
    const void* nul = std::memchr(text, 0, static_cast<size_t>(length));
    const size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : static_cast<size_t>(length);
    return std::string_view(text, n);
}

const char* describeHexProblem(HexProblem problem) {
    switch (problem) {
    case HexProblem::None: return "readable";
    case HexProblem::BadRecord: return "a record is damaged (checksum, length or digits)";
    case HexProblem::NoData: return "no data for the chip's program memory";
    case HexProblem::NoChipName: return "no chip name after the end-of-file record";
    case HexProblem::LongChipName: return "the chip name is longer than 15 characters";
    }
    return "unreadable";
}

} // namespace zel
