// Runs the bexo-sim program and collects what it printed.
#pragma once

#include <filesystem>
#include <string>

struct SimResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// `args` go to the shell as they are; quote paths with quoted().
SimResult runSim(const std::string& args);

// A path as the program on this platform takes it, in double quotes.
std::string quoted(const std::filesystem::path& path);
