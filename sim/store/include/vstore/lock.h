// One program at a time per unit folder, across processes: the lock is what
// makes "open the next available unit" skip units already in use.
#pragma once

#include <cstdint>
#include <filesystem>

namespace vunit {

// Held while `handle` is not -1; released on destruction. Move-only.
struct FolderLock {
    intptr_t handle = -1;

    FolderLock() = default;
    explicit FolderLock(intptr_t h) : handle(h) {}
    FolderLock(FolderLock&& other) noexcept : handle(other.handle) { other.handle = -1; }
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();

    bool held() const { return handle != -1; }
};

// Locks the unit in `dir` without waiting; an unheld lock when another
// opener (this process included) has it. Throws when the lock file cannot
// be made at all.
FolderLock tryLockUnitFolder(const std::filesystem::path& dir);

void releaseLock(FolderLock& lock);

} // namespace vunit
