// Runs the real bexolog program from a test, with its output captured in
// files named after the test case (ctest may run cases side by side here).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#if !defined(_WIN32)
#  include <sys/wait.h>
#endif

inline std::string readFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "<missing>";
    std::string text;
    char chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
    std::fclose(file);
    return text;
}

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Console output is text mode: CR LF on Windows.
inline std::string consoleText(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i)
        if (text.compare(i, 2, "\r\n") != 0) plain += text[i];
    return plain;
}

class CliTest : public ::testing::Test {
protected:
    explicit CliTest(const char* prefix) : prefix_(prefix) {}

    void SetUp() override {
        // Inherited by the program: its local time is then UTC.
#if defined(_WIN32)
        _putenv_s("TZ", "UTC0");
#else
        setenv("TZ", "UTC0", 1);
#endif
        base_ = prefix_ + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    }

    // `args` go to the shell as they are: no blanks or special characters.
    Outcome bexolog(const std::string& args) {
        std::string program = BEXOLOG_PATH;
#if defined(_WIN32)
        // cmd.exe wants backslashes; a cross build names the program by its
        // Unix path, which Wine maps to drive Z:.
        for (char& c : program)
            if (c == '/') c = '\\';
        if (program[0] == '\\') program = "Z:" + program;
#endif
        const int status = std::system((program + " " + args + " >" + base_ + ".out 2>" + base_ + ".err").c_str());
        Outcome run;
#if defined(_WIN32)
        run.exitCode = status;
#else
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
        run.out = consoleText(readFile(base_ + ".out"));
        run.err = consoleText(readFile(base_ + ".err"));
        return run;
    }

    std::string writeImage(const std::vector<uint8_t>& bytes, const std::string& suffix = ".bin") {
        FILE* file = std::fopen((base_ + suffix).c_str(), "wb");
        if (file != nullptr) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
            std::fclose(file);
        }
        return base_ + suffix;
    }

    std::string prefix_;
    std::string base_;
};
