// Whole-number arguments: "0x" (or "0X") then hex digits, or decimal digits.
// A leading 0 does not mean octal: "010" is ten.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

std::optional<unsigned long> parseNumber(const std::string& text, unsigned long max);

// Rejects what parseNumber would not take, with a readable message.
CLI::Validator numberArgument(unsigned long max);
