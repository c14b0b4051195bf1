// Argument helpers shared by the bexo-sim commands.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace simtool {

// Decimal, or hex after "0x"; nullopt when malformed or above `max`.
std::optional<unsigned long> parseNumber(const std::string& text, unsigned long max);
// "MAJOR.MINOR", each 0-255.
std::optional<std::pair<uint8_t, uint8_t>> parseVersion(const std::string& text);

CLI::Validator numberArg(unsigned long max);
CLI::Validator versionArg();

// Numbers that passed numberArg.
unsigned long numberOf(const std::string& text, unsigned long max);

// A failure the user caused or can fix; main prints it and exits with 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

} // namespace simtool
