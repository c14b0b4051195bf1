#include "pendingfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#if defined(_WIN32)
#  include <io.h>
#  include <process.h>
#else
#  include <unistd.h>
#endif

namespace {

FILE* createExclusive(const std::string& path) {
#if defined(_WIN32)
    const int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0644);
    return fd < 0 ? nullptr : _fdopen(fd, "wb");
#else
    const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    return fd < 0 ? nullptr : fdopen(fd, "wb");
#endif
}

std::string describe(const std::string& path, int error) { return "cannot write '" + path + "': " + std::strerror(error); }

} // namespace

bool createPendingFile(const std::string& target, PendingFile& out, std::string& error) {
    out = PendingFile{};
    out.target = target;
    std::random_device seed;
    std::mt19937 pick(seed());
    for (int attempt = 0; attempt < 16; ++attempt) {
        out.temporary = target + ".tmp" + std::to_string(pick() % 1000000);
        out.file = createExclusive(out.temporary);
        if (out.file != nullptr) return true;
        if (errno != EEXIST) break;
    }
    error = describe(target, errno);
    out.temporary.clear();
    return false;
}

bool closePendingFile(PendingFile& pending, std::string& error) {
    if (pending.file == nullptr) return true;
    const bool failed = std::fflush(pending.file) != 0 || std::ferror(pending.file) != 0;
    const int code = errno;
    const bool closeFailed = std::fclose(pending.file) != 0;
    pending.file = nullptr;
    if (failed || closeFailed) {
        error = describe(pending.target, failed ? code : errno);
        return false;
    }
    return true;
}

bool commitPendingFile(PendingFile& pending, std::string& error) {
    std::error_code failure;
    // Replaces an existing target on Windows as well.
    std::filesystem::rename(pending.temporary, pending.target, failure);
    if (failure) {
        error = "cannot write '" + pending.target + "': " + failure.message();
        return false;
    }
    pending.temporary.clear();
    return true;
}

void discardPendingFile(PendingFile& pending) {
    if (pending.file != nullptr) std::fclose(pending.file);
    pending.file = nullptr;
    if (!pending.temporary.empty()) std::remove(pending.temporary.c_str());
    pending.temporary.clear();
}
