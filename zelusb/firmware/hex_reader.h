// Firmware and boot-loader files: Intel HEX text with the target chip's name
// written after the end-of-file record.
//
// The text is read a word (a run of non-blank characters) at a time: take the
// first word at or after the position, then move the position just past the
// first line end after that word, so each line gives at most its first word.
// Words that do not begin with ':' or are shorter than 9 characters are
// skipped. Every other word is a record, and must be whole:
//
//   :LLAAAATT<LL data bytes>CC     hex digit pairs, nothing more or less
//
// LL the byte count, AAAA the 16-bit address, TT the type, CC the checksum
// (all bytes from LL to CC add up to 0 modulo 256). Types:
//   00 data: byte i lands at image byte (upper << 16) + AAAA + i when that is
//      inside the image, and is dropped otherwise (configuration, EEPROM)
//   01 end of file: reading stops
//   04 extended linear address, LL = 2: the upper 16 bits for what follows
//   other types are checked and ignored
// After the end-of-file record the chip name (at most 15 characters) is the
// first word at or after the character that follows the position: a name on
// the very next line loses its first character, one after a blank line does
// not, and without a line end after the record there is no name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zel {

enum class HexProblem : uint8_t {
    None,
    BadRecord,     // checksum, digit count, a non-hex digit, or a malformed type 04
    NoData,        // nothing landed inside the image
    NoChipName,    // no end-of-file record, or nothing after it
    LongChipName,  // more than 15 characters
};

struct HexFile {
    HexProblem problem = HexProblem::None;
    uint32_t lowestAddress = 0; // lowest start address of any data record
    uint32_t endAddress = 0;    // one past the highest byte stored in the image
    char chipName[16] = {};
    unsigned badLine = 0;       // 1-based line of the bad record
};

// Reads `text` into `image` (imageBytes long; bytes no record names are left
// as they were). Reads and writes nothing outside the two.
HexFile readHex(std::string_view text, uint8_t* image, size_t imageBytes);

// Image words: word k is image bytes 2k (low) and 2k + 1.
inline uint32_t lowestWordOf(const HexFile& f) { return f.lowestAddress / 2; }
inline uint32_t endWordOf(const HexFile& f) { return (f.endAddress + 1) / 2; }

// A caller's NUL-terminated text, cut at `length` characters when that is
// positive (so a text without its NUL is not read past its end).
std::string_view boundedText(const char* text, int length);

const char* describeHexProblem(HexProblem problem);

} // namespace zel
