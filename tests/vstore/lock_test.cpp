// One opener at a time per unit folder, in this process and across processes.
#include "scratch_dir.h"

#include "vfactory/layout.h"
#include "vstore/folder.h"
#include "vstore/lock.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#  include <sys/wait.h>
#  include <unistd.h>
#endif

namespace {

TEST(FolderLock, SecondLockInTheSameProcessFailsUntilTheFirstIsReleased) {
    ScratchDir dir("lock");
    vunit::FolderLock first = vunit::tryLockUnitFolder(dir.path);
    ASSERT_TRUE(first.held());
    EXPECT_FALSE(vunit::tryLockUnitFolder(dir.path).held());

    vunit::FolderLock moved = std::move(first); // the lock travels with the handle
    EXPECT_FALSE(first.held());
    EXPECT_FALSE(vunit::tryLockUnitFolder(dir.path).held());

    vunit::releaseLock(moved);
    vunit::FolderLock again = vunit::tryLockUnitFolder(dir.path);
    EXPECT_TRUE(again.held());
}

TEST(FolderLock, CreatingAUnitInAFolderInUseIsRefused) {
    ScratchDir dir("lockcreate");
    vunit::FolderLock held = vunit::tryLockUnitFolder(dir.path);
    ASSERT_TRUE(held.held());
    const vfactory::UnitDescription d = vfactory::defaultDescription();
    EXPECT_THROW(vunit::createUnitFolder(dir.path, d.identity, vfactory::buildUnit(d)), std::runtime_error);
    EXPECT_FALSE(vunit::isUnitFolder(dir.path));
}

#if !defined(_WIN32)
// 0: the child could not lock; 1: it could; 2: it failed otherwise.
int childTriesToLock(const std::filesystem::path& dir) {
    const pid_t pid = fork();
    if (pid == 0) {
        int code = 2;
        try {
            code = vunit::tryLockUnitFolder(dir).held() ? 1 : 0;
        } catch (...) {
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FolderLock, AnotherProcessCannotLockWhileItIsHeld) {
    ScratchDir dir("lockfork");
    {
        vunit::FolderLock held = vunit::tryLockUnitFolder(dir.path);
        ASSERT_TRUE(held.held());
        EXPECT_EQ(childTriesToLock(dir.path), 0);
    }
    EXPECT_EQ(childTriesToLock(dir.path), 1);
}
#endif

} // namespace
