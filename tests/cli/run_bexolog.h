// Runs the real bexolog program and collects what it printed.
#pragma once

#include <string>

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path);

// `args` go to the shell as they are: no blanks or special characters.
// Output goes through `base`.out and `base`.err.
Outcome runBexolog(const std::string& args, const std::string& base);
