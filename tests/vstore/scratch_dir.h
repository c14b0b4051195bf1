// A fresh, empty folder per test, removed afterwards.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>

struct ScratchDir {
    std::filesystem::path path;

    explicit ScratchDir(const std::string& tag) {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path = std::filesystem::temp_directory_path() /
               ("bexo-" + tag + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path / name; }
};
