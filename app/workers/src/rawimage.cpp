#include "rawimage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#if defined(_WIN32)
#  include <io.h>
#else
#  include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kPathRoom = 300;
constexpr std::size_t kRawNameRoom = 15; // more than this must stay free for the name

FILE* createExclusive(const std::string& path) {
#if defined(_WIN32)
    const int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0644);
    return fd < 0 ? nullptr : _fdopen(fd, "wb");
#else
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    return fd < 0 ? nullptr : fdopen(fd, "wb");
#endif
}

bool syncToDisk(FILE* file) {
#if defined(_WIN32)
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

std::string reason(const std::string& path, int code) { return "cannot write '" + path + "': " + std::strerror(code); }

} // namespace

std::string rawImagePathBeside(const std::string& logFilePath) {
    std::error_code failure;
    const fs::path full = fs::absolute(fs::path(logFilePath), failure);
    if (failure || full.empty()) return {};
    const std::string text = full.string();
    if (kPathRoom - std::min(text.size(), kPathRoom) <= kRawNameRoom) return {};
    return (full.parent_path() / "bexo-log.bin").string();
}

bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    std::random_device seed;
    std::mt19937 pick(seed());
    std::string temporary;
    FILE* file = nullptr;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        temporary = path + ".tmp" + std::to_string(pick() % 1000000);
        file = createExclusive(temporary);
        if (!file && errno != EEXIST) break;
    }
    if (!file) {
        error = reason(path, errno);
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = ok && std::fflush(file) == 0 && syncToDisk(file);
    int code = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        code = errno;
    }
    if (!ok) {
        std::remove(temporary.c_str());
        error = reason(path, code);
        return false;
    }
    std::error_code failure;
    fs::rename(temporary, path, failure); // replaces an existing file on Windows too
    if (failure) {
        std::remove(temporary.c_str());
        error = "cannot write '" + path + "': " + failure.message();
        return false;
    }
    return true;
}

bool copyIntoExistingFile(const std::string& path, const std::vector<uint8_t>& image) {
    FILE* existing = std::fopen(path.c_str(), "rb+"); // opens only a file that is there, and writable
    if (!existing) return false;
    std::vector<uint8_t> contents;
    uint8_t chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, existing)) > 0;)
        contents.insert(contents.end(), chunk, chunk + got);
    const bool readFailed = std::ferror(existing) != 0;
    std::fclose(existing);
    if (readFailed) return false;
    if (contents.size() < image.size()) contents.resize(image.size());
    std::copy(image.begin(), image.end(), contents.begin());
    std::string ignored;
    return writeFileAtomically(path, contents, ignored);
}
