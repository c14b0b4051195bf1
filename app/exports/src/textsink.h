// Buffered text output for the export writers: numbers with a decimal point
// whatever the locale, times as ISO 8601, and one check for write errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// A number with `decimals` digits after a point, whatever the locale.
std::string fixedText(double value, int decimals);

class TextSink {
public:
    explicit TextSink(FILE* file) : file_(file) {}
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    TextSink& put(std::string_view text);
    TextSink& put(char c) {
        if (used_ == sizeof buffer_) drain();
        buffer_[used_++] = c;
        return *this;
    }
    TextSink& fixed(double value, int decimals);
    TextSink& integer(long long value);
    TextSink& isoUtc(int32_t time); // "2008-03-18T14:19:07Z"

    // Writes out what is buffered; false if any write failed.
    bool flush();

private:
    void drain();
    char* room(std::size_t n);

    FILE* file_;
    bool failed_ = false;
    std::size_t used_ = 0;
    char buffer_[1 << 16];
};
