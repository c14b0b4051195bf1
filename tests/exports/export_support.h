// Exports written into a folder of their own per test case, and the tools
// from elsewhere that read them back.
#pragma once

#include "exports.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace exports_test {

inline std::string readFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "<missing " + path + ">";
    std::string text;
    char chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
    std::fclose(file);
    return text;
}

inline std::vector<std::string> splitLines(const std::string& text, const std::string& end = "\n") {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + end.size())
        lines.push_back(text.substr(start, at - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

struct ToolRun {
    int exitCode = -1;
    std::string output; // stdout and stderr
};

// Runs a shell command line; `tool` must be on PATH, else the test fails
// saying which package brings it.
ToolRun runTool(const std::string& tool, const std::string& package, const std::string& arguments);

// A fresh folder named after the running test, removed afterwards.
class ExportFolder : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    // Exports `records` into this folder as `name` + each format's extension.
    ExportResult exportAs(const std::vector<LogRecord>& records, const std::vector<ExportFormat>& formats,
                          const std::string& name, const ExportOptions& options = {});

    std::filesystem::path folder_;
};

} // namespace exports_test
