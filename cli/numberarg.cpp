#include "numberarg.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

std::optional<unsigned long> parseNumber(const std::string& text, unsigned long max) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    // strtoul would accept signs and blanks; only digits are numbers here.
    for (const char c : digits) {
        const bool ok = hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : (c >= '0' && c <= '9');
        if (!ok) return std::nullopt;
    }
    if (digits.empty()) return std::nullopt;
    errno = 0;
    const unsigned long value = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || value > max) return std::nullopt;
    return value;
}

CLI::Validator numberArgument(unsigned long max) {
    return CLI::Validator(
        [max](std::string& text) -> std::string {
            if (parseNumber(text, max)) return {};
            return "'" + text + "' is not a number from 0 to " + std::to_string(max) + " (decimal, or hex as 0x..)";
        },
        "NUMBER");
}
