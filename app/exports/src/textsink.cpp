#include "textsink.h"

#include "timetext.h"

#include <charconv>
#include <cstring>

void TextSink::drain() {
    if (used_ > 0 && std::fwrite(buffer_, 1, used_, file_) != used_) failed_ = true;
    used_ = 0;
}

char* TextSink::room(std::size_t n) {
    if (sizeof buffer_ - used_ < n) drain();
    return buffer_ + used_;
}

TextSink& TextSink::put(std::string_view text) {
    if (text.size() > sizeof buffer_ / 2) {
        drain();
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
        return *this;
    }
    std::memcpy(room(text.size()), text.data(), text.size());
    used_ += text.size();
    return *this;
}

TextSink& TextSink::fixed(double value, int decimals) {
    constexpr std::size_t kWidest = 352; // a double in fixed notation with a few decimals
    char* at = room(kWidest);
    const auto result = std::to_chars(at, at + kWidest, value, std::chars_format::fixed, decimals);
    used_ += static_cast<std::size_t>(result.ptr - at);
    return *this;
}

TextSink& TextSink::integer(long long value) {
    char* at = room(24);
    const auto result = std::to_chars(at, at + 24, value);
    used_ += static_cast<std::size_t>(result.ptr - at);
    return *this;
}

TextSink& TextSink::isoUtc(int32_t time) {
    char* at = room(kIsoUtcLength);
    writeIsoUtc(at, time);
    used_ += kIsoUtcLength;
    return *this;
}

bool TextSink::flush() {
    drain();
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0) failed_ = true;
    return !failed_;
}

std::string fixedText(double value, int decimals) {
    char text[352];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}
