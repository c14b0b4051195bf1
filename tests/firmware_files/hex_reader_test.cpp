// The HEX reader on its own: what lands in the image, what is counted, the
// chip-name rule, and every way a file is unreadable.
#include "hex_reader.h"
#include "hex_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

using namespace zel;
using hextext::record;

namespace {

constexpr size_t kImage = 0x10000; // a PIC18F4520 image

struct Read {
    HexFile file;
    std::vector<uint8_t> image = std::vector<uint8_t>(kImage, 0xAA);
};

Read read(const std::string& text, size_t imageBytes = kImage) {
    Read r;
    r.image.assign(imageBytes, 0xAA);
    r.file = readHex(text, r.image.data(), r.image.size());
    return r;
}

const std::string kEnd = record(1, 0, {});

} // namespace

TEST(HexReader, DataLandsAtItsFullAddressAndOnlyInsideTheImage) {
    const std::string text = record(0, 0x0010, {1, 2, 3}) + "\n" +
                             record(4, 0, {0x00, 0x01}) + "\n" + // upper address 1: past the image
                             record(0, 0x0000, {9, 9}) + "\n" +  // 0x10000: not stored, not counted
                             record(4, 0, {0x00, 0x30}) + "\n" +  // configuration at 0x300000
                             record(0, 0x0001, {0x1F}) + "\n" +
                             record(4, 0, {0x00, 0x00}) + "\n" +
                             record(0, 0x0100, {7}) + "\n" + kEnd + "\n\nPIC18F4520\n";
    const Read r = read(text);
    ASSERT_EQ(r.file.problem, HexProblem::None);
    EXPECT_EQ(r.image[0x10], 1);
    EXPECT_EQ(r.image[0x12], 3);
    EXPECT_EQ(r.image[0x100], 7);
    EXPECT_EQ(r.image[0x0F], 0xAA); // untouched where no record names it
    EXPECT_EQ(r.image[0], 0xAA);
    EXPECT_EQ(r.file.lowestAddress, 0x10u);
    EXPECT_EQ(r.file.endAddress, 0x101u);
    EXPECT_EQ(lowestWordOf(r.file), 8u);
    EXPECT_EQ(endWordOf(r.file), 0x81u); // the odd last byte still belongs to a word
    EXPECT_STREQ(r.file.chipName, "PIC18F4520");
}

TEST(HexReader, RecordAcrossTheImageEndCountsWhatWasStored) {
    const Read r = read(record(0, 0xFFFE, {1, 2, 3, 4}) + "\n" + kEnd + "\n\nX\n");
    ASSERT_EQ(r.file.problem, HexProblem::None);
    EXPECT_EQ(r.image[0xFFFF], 2);
    EXPECT_EQ(r.file.endAddress, 0x10000u);
    EXPECT_EQ(endWordOf(r.file), 0x8000u);
}

TEST(HexReader, ChipNameStartsOneCharacterPastTheLineAfterTheEnd) {
    const std::string data = record(0, 0, {1, 2}) + "\n";
    EXPECT_STREQ(read(data + kEnd + "\nPIC18F4520\n").file.chipName, "IC18F4520"); // next line: loses a letter
    EXPECT_STREQ(read(data + kEnd + "\n\nPIC18F4520\n").file.chipName, "PIC18F4520");
    EXPECT_STREQ(read(data + kEnd + "\n PIC18F4520").file.chipName, "PIC18F4520"); // one separator
    EXPECT_STREQ(read(data + kEnd + "\r\n\r\nPIC18F4520\r\n").file.chipName, "PIC18F4520");
    EXPECT_STREQ(read(data + kEnd + "\n\n\n   PIC16F877A  trailing words\n").file.chipName, "PIC16F877A");
    EXPECT_EQ(read(data + kEnd).file.problem, HexProblem::NoChipName);          // no line end after the end
    EXPECT_EQ(read(data + kEnd + "\n\n").file.problem, HexProblem::NoChipName); // nothing after it
    EXPECT_EQ(read(data + "\n\nPIC18F4520\n").file.problem, HexProblem::NoChipName); // no end record
    EXPECT_STREQ(read(data + kEnd + "\n\n123456789012345\n").file.chipName, "123456789012345");
    EXPECT_EQ(read(data + kEnd + "\n\n1234567890123456\n").file.problem, HexProblem::LongChipName);
}

TEST(HexReader, DamagedRecordsMakeTheFileUnreadable) {
    const std::string good = record(0, 0x20, {0x12, 0x34});
    std::string badSum = good;
    badSum.back() = badSum.back() == '0' ? '1' : '0';
    const std::string tail = "\n" + kEnd + "\n\nPIC18F4520\n";
    const struct {
        const char* why;
        std::string line;
    } cases[] = {
        {"wrong checksum", badSum},
        {"fewer digit pairs than the count says", ":0400200012345A"},
        {"one digit pair too many", good + "00"},
        {"an odd digit left over", good + "0"},
        {"not a hex digit", ":02002000123G98"},
        {"nine characters, no room for a checksum", ":02002000"},
        {"extended address with one byte", record(4, 0, {1})},
    };
    for (const auto& c : cases) {
        const Read r = read(record(0, 0, {1, 1}) + "\n" + c.line + tail);
        EXPECT_EQ(r.file.problem, HexProblem::BadRecord) << c.why;
        EXPECT_EQ(r.file.badLine, 2u) << c.why;
    }
    // Lower-case digits and record types the loader has no use for are fine.
    std::string lower = record(0, 0x30, {0xAB, 0xCD});
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const Read ok = read(record(3, 0, {0, 0, 0, 0}) + "\n" + record(5, 0, {0, 0, 0, 0}) + "\n" + lower + tail);
    EXPECT_EQ(ok.file.problem, HexProblem::None);
    EXPECT_EQ(ok.image[0x31], 0xCD);
}

TEST(HexReader, WithoutDataInTheImageTheFileIsUnreadable) {
    EXPECT_EQ(read(kEnd + "\n\nPIC18F4520\n").file.problem, HexProblem::NoData);
    EXPECT_EQ(read(record(4, 0, {0, 0x30}) + "\n" + record(0, 0, {0x1F}) + "\n" + kEnd + "\n\nPIC18F4520\n").file.problem,
              HexProblem::NoData); // configuration only
    EXPECT_EQ(read("").file.problem, HexProblem::NoData);
}

TEST(HexReader, OnlyTheFirstWordOfALineIsReadAndNothingAfterTheEnd) {
    const std::string text = "junk " + record(0, 0x40, {5}) + "\n" + // not the line's first word: skipped
                             ":00 short\n" +                            // too short to be a record
                             "  " + record(0, 0x10, {6}) + "  " + record(0, 0x11, {7}) + "\n" + kEnd + "\n\nNAME\n" +
                             record(0, 0x20, {8}) + "\n";
    const Read r = read(text);
    ASSERT_EQ(r.file.problem, HexProblem::None);
    EXPECT_EQ(r.image[0x40], 0xAA);
    EXPECT_EQ(r.image[0x10], 6);
    EXPECT_EQ(r.image[0x11], 0xAA);
    EXPECT_EQ(r.image[0x20], 0xAA);
    EXPECT_STREQ(r.file.chipName, "NAME");
}

TEST(HexReader, LongRecordsAndWordsAreReadInPlace) {
    std::vector<uint8_t> many(255);
    for (size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>(i);
    const std::string text = std::string(300, 'x') + "\n" + record(0, 0x100, many) + "\n" + kEnd + "\n\n" +
                             "PIC18F4520\n";
    const Read r = read(text);
    ASSERT_EQ(r.file.problem, HexProblem::None);
    EXPECT_EQ(r.image[0x100 + 254], 254);
    EXPECT_EQ(r.file.endAddress, 0x1FFu);
}

TEST(HexReader, TextIsCutAtItsLength) {
    const std::string whole = record(0, 0, {1, 2}) + "\n" + kEnd + "\n\nPIC18F4520\n";
    // Exactly as long as the text, no NUL after it: nothing past it is read.
    std::vector<char> exact(whole.begin(), whole.end());
    EXPECT_EQ(boundedText(exact.data(), static_cast<int>(exact.size())), whole);
    EXPECT_EQ(boundedText(whole.c_str(), 0), whole);       // no length: up to the NUL
    EXPECT_EQ(boundedText(whole.c_str(), 5), whole.substr(0, 5));
    std::vector<char> withNul(whole.begin(), whole.end());
    withNul[3] = '\0';
    EXPECT_EQ(boundedText(withNul.data(), static_cast<int>(withNul.size())).size(), 3u);
    EXPECT_TRUE(boundedText(nullptr, 10).empty());
    // Cut before the name: the name is gone.
    const std::string_view cut = boundedText(whole.c_str(), static_cast<int>(whole.size() - 11));
    std::vector<uint8_t> image(kImage);
    EXPECT_EQ(readHex(cut, image.data(), image.size()).problem, HexProblem::NoChipName);
}
