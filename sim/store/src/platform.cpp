// PLATFORM-SPECIFIC: every OS call of the unit folder code is in this file.
#include "platform.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#else
#  include <cerrno>
#  include <cstring>
#  include <fcntl.h>
#  include <sys/file.h>
#  include <unistd.h>
#endif

namespace vunit::platform {

namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, const std::string& reason) {
    throw std::runtime_error(what + " " + path.string() + ": " + reason);
}

#if defined(_WIN32)

std::string lastError() { return "Windows error " + std::to_string(GetLastError()); }

HANDLE openLockFile(const std::filesystem::path& path) {
    HANDLE h = CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) fail("cannot open lock file", path, lastError());
    return h;
}

LockHandle lockWith(const std::filesystem::path& path, DWORD flags) {
    HANDLE h = openLockFile(path);
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | flags, 0, 1, 0, &at)) {
        const DWORD code = GetLastError();
        CloseHandle(h);
        if (code == ERROR_LOCK_VIOLATION || code == ERROR_SHARING_VIOLATION || code == ERROR_IO_PENDING)
            return kNoLock;
        fail("cannot lock", path, "Windows error " + std::to_string(code));
    }
    return reinterpret_cast<LockHandle>(h);
}

#else

std::string lastError() { return std::strerror(errno); }

LockHandle lockWith(const std::filesystem::path& path, int flags) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot open lock file", path, lastError());
    int rc = 0;
    while ((rc = ::flock(fd, LOCK_EX | flags)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
        const int code = errno;
        ::close(fd);
        if (code == EWOULDBLOCK) return kNoLock;
        fail("cannot lock", path, std::strerror(code));
    }
    return fd;
}

#endif

} // namespace

void replaceFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size, Sync sync) {
    std::filesystem::path temp = path;
    temp += ".tmp";
#if defined(_WIN32)
    HANDLE h = CreateFileW(temp.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) fail("cannot create", temp, lastError());
    std::size_t done = 0;
    while (done < size) {
        DWORD wrote = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 20));
        if (!WriteFile(h, data + done, chunk, &wrote, nullptr) || wrote == 0) {
            const std::string reason = lastError();
            CloseHandle(h);
            fail("cannot write", temp, reason);
        }
        done += wrote;
    }
    if (sync == Sync::Durable && !FlushFileBuffers(h)) {
        const std::string reason = lastError();
        CloseHandle(h);
        fail("cannot flush", temp, reason);
    }
    CloseHandle(h);
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (sync == Sync::Durable ? MOVEFILE_WRITE_THROUGH : 0);
    // A reader that has the old file open (bexo-sim show, say) blocks the
    // replacement for as long as it reads: wait for it a little.
    for (int attempt = 0; !MoveFileExW(temp.wstring().c_str(), path.wstring().c_str(), flags); ++attempt) {
        const DWORD code = GetLastError();
        if (attempt == 50 || (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION))
            fail("cannot rename over", path, "Windows error " + std::to_string(code));
        Sleep(20);
    }
#else
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot create", temp, lastError());
    std::size_t done = 0;
    while (done < size) {
        const ssize_t wrote = ::write(fd, data + done, size - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            const std::string reason = lastError();
            ::close(fd);
            fail("cannot write", temp, reason);
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (sync == Sync::Durable && ::fsync(fd) != 0) {
        const std::string reason = lastError();
        ::close(fd);
        fail("cannot flush", temp, reason);
    }
    ::close(fd);
    if (::rename(temp.c_str(), path.c_str()) != 0) fail("cannot rename over", path, lastError());
    if (sync != Sync::Durable) return;
    // The rename itself is durable only once the folder is flushed.
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
#endif
}

LockHandle tryLockFile(const std::filesystem::path& path) {
#if defined(_WIN32)
    return lockWith(path, LOCKFILE_FAIL_IMMEDIATELY);
#else
    return lockWith(path, LOCK_NB);
#endif
}

LockHandle lockFile(const std::filesystem::path& path) {
    const LockHandle h = lockWith(path, 0);
    if (h == kNoLock) fail("cannot lock", path, "lock refused");
    return h;
}

void unlockFile(LockHandle handle) {
    if (handle == kNoLock) return;
#if defined(_WIN32)
    HANDLE h = reinterpret_cast<HANDLE>(handle);
    OVERLAPPED at{};
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);
#else
    ::flock(static_cast<int>(handle), LOCK_UN);
    ::close(static_cast<int>(handle));
#endif
}

} // namespace vunit::platform
