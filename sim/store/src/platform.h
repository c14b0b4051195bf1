// The only operating-system calls of the unit folder code: durable atomic
// file replacement and whole-file locks. POSIX and Win32 live in platform.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace vunit::platform {

// How far a replaced file is pushed towards the disk. Either way a reader,
// or a program restarted after a crash, sees the old file or the new one,
// never a mix; Durable also survives the machine losing power, at the cost
// of a disk flush (milliseconds), which the running unit cannot pay on
// every command.
enum class Sync { Atomic, Durable };

// Writes `path` + ".tmp" and renames it over `path`. Throws
// std::runtime_error naming the file.
void replaceFile(const std::filesystem::path& path, const uint8_t* data, std::size_t size, Sync sync);

using LockHandle = intptr_t;
constexpr LockHandle kNoLock = -1;

// Exclusive lock on `path` (created if missing), held until unlockFile.
// A second lock on the same file fails even from the same process, because
// each call opens its own handle. tryLockFile returns kNoLock when somebody
// else holds it; lockFile waits. Other failures throw.
LockHandle tryLockFile(const std::filesystem::path& path);
LockHandle lockFile(const std::filesystem::path& path);
void unlockFile(LockHandle handle);

} // namespace vunit::platform
