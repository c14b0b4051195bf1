// Test helpers for the text writers: records, time zones, and what a writer
// puts into a binary-mode file.
#pragma once

#include "textexport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

inline constexpr int32_t kMarch18 = 1205849947; // 2008-03-18 14:19:07 UTC

inline LogRecord record(int32_t time, uint8_t flags, float latitude = 49.5f, float longitude = -112.25f) {
    return LogRecord{time, latitude, longitude, 0.0f, 50, flags};
}

// flags of a run's first point that logged observation `type`.
inline uint8_t observation(unsigned type) { return static_cast<uint8_t>(type * 2 + 1); }

inline void useTimeZone(const char* tz) {
#if defined(_WIN32)
    _putenv_s("TZ", tz);
#else
    setenv("TZ", tz, 1);
#endif
}

// Runs `write` on a fresh binary-mode file; returns the bytes written.
inline std::string capture(const std::function<void(FILE*)>& write) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string path = std::string(info->test_suite_name()) + "." + info->name() + ".txt";
    FILE* file = std::fopen(path.c_str(), "w+b");
    if (file == nullptr) return "<cannot create " + path + ">";
    write(file);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    std::fclose(file);
    std::remove(path.c_str());
    return text;
}

// Lines without their CR LF; a bare LF or an unended line fails the test.
inline std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "unended line: " << text.substr(start);
    for (const std::string& line : lines) EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    return lines;
}

// The part after date, time and position.
inline std::string columnsOf(const std::string& line) {
    size_t at = 0;
    for (int field = 0; field < 4 && at != std::string::npos; ++field)
        if ((at = line.find("  ", at)) != std::string::npos) at += 2;
    return at == std::string::npos ? "<no columns: " + line + ">" : line.substr(at);
}

// Expected "%d " columns: 1 for those of `columns` that are in `lit`.
inline std::string maskColumns(const std::vector<int>& columns, const std::vector<int>& lit) {
    std::string text;
    for (const int column : columns) text += std::find(lit.begin(), lit.end(), column) != lit.end() ? "1 " : "0 ";
    return text;
}
inline std::string codedColumns(const std::vector<int>& lit) {
    return maskColumns({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, lit);
}
inline std::string groupedColumns(const std::vector<int>& lit) {
    return maskColumns({1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 18, 19, 20}, lit);
}

// Writes `records` in the layout of `family`, through the callers' dispatcher.
class TextExportTest : public ::testing::Test {
protected:
    explicit TextExportTest(uint16_t family = 0x8100) : family_(family) {}
    void SetUp() override {
        eeFamily = family_;
        mergeDeadWildlife = mergeCrossingWildlife = true;
        useTimeZone("UTC0");
    }
    std::vector<std::string> write(std::vector<LogRecord>& records) {
        return crlfLines(capture(
            [&](FILE* f) { writeLogTextForFamily(records.data(), static_cast<unsigned>(records.size()), f); }));
    }
    std::vector<std::string> write(std::vector<LogRecord>&& records) { return write(records); }

private:
    uint16_t family_;
};
