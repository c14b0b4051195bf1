#include "run_bexolog.h"

#include <cstdio>
#include <cstdlib>
#if !defined(_WIN32)
#  include <sys/wait.h>
#endif

namespace {
// Console output is text mode: CR LF on Windows.
std::string consoleText(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i)
        if (text.compare(i, 2, "\r\n") != 0) plain += text[i];
    return plain;
}
} // namespace

std::string readFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "<missing>";
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

Outcome runBexolog(const std::string& args, const std::string& base) {
    std::string program = BEXOLOG_PATH;
#if defined(_WIN32)
    // cmd.exe wants backslashes; a cross build names the program by its
    // Unix path, which Wine maps to drive Z:.
    for (char& c : program)
        if (c == '/') c = '\\';
    if (program[0] == '\\') program = "Z:" + program;
#endif
    const int status = std::system((program + " " + args + " >" + base + ".out 2>" + base + ".err").c_str());
    Outcome run;
#if defined(_WIN32)
    run.exitCode = status;
#else
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    run.out = consoleText(readFile(base + ".out"));
    run.err = consoleText(readFile(base + ".err"));
    return run;
}
