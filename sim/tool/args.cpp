#include "args.h"

#include <charconv>

namespace simtool {

std::optional<unsigned long> parseNumber(const std::string& text, unsigned long max) {
    int base = 10;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.erase(0, 2);
    }
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || value > max) return std::nullopt;
    return value;
}

std::optional<std::pair<uint8_t, uint8_t>> parseVersion(const std::string& text) {
    const auto dot = text.find('.');
    if (dot == std::string::npos) return std::nullopt;
    const auto major = parseNumber(text.substr(0, dot), 255);
    const auto minor = parseNumber(text.substr(dot + 1), 255);
    if (!major || !minor) return std::nullopt;
    return std::make_pair(static_cast<uint8_t>(*major), static_cast<uint8_t>(*minor));
}

CLI::Validator numberArg(unsigned long max) {
    return CLI::Validator(
        [max](std::string& text) -> std::string {
            if (parseNumber(text, max)) return "";
            return "'" + text + "' is not a number from 0 to " + std::to_string(max) + " (decimal, or hex with 0x)";
        },
        "NUMBER");
}

CLI::Validator versionArg() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (parseVersion(text)) return "";
            return "'" + text + "' is not a version MAJOR.MINOR (each 0-255)";
        },
        "M.m");
}

unsigned long numberOf(const std::string& text, unsigned long max) {
    const auto n = parseNumber(text, max);
    if (!n) throw Failure("'" + text + "' is not a number from 0 to " + std::to_string(max));
    return *n;
}

} // namespace simtool
