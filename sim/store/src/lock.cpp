#include "vstore/lock.h"

#include "files.h"
#include "platform.h"

namespace vunit {

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        releaseLock(*this);
        handle = other.handle;
        other.handle = -1;
    }
    return *this;
}

FolderLock::~FolderLock() { releaseLock(*this); }

FolderLock tryLockUnitFolder(const std::filesystem::path& dir) {
    return FolderLock(platform::tryLockFile(dir / files::kLock));
}

void releaseLock(FolderLock& lock) {
    platform::unlockFile(lock.handle);
    lock.handle = -1;
}

} // namespace vunit
