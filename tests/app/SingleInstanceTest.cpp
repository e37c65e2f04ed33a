#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "app/SingleInstance.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

// The first copy is another process; it holds the lock until it is killed without any chance to clean up.
TEST(SingleInstance, ASecondCopyIsRefusedUntilTheFirstEnds) {
    test::TempDir dir;
    const std::string lock = dir.file("RunOnlyOneInstance.lock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        ::close(ready[0]);
        auto guard = SingleInstanceGuard::acquire(lock);
        const char held = guard ? 'y' : 'n';
        if (::write(ready[1], &held, 1) != 1 || !guard) ::_exit(1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char held = 0;
    const ssize_t got = ::read(ready[0], &held, 1);  // returns at the latest when the first copy ends
    ::close(ready[0]);
    EXPECT_EQ(got, 1);
    EXPECT_EQ(held, 'y');
    EXPECT_FALSE(SingleInstanceGuard::acquire(lock).has_value());

    ::kill(first, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    auto second = SingleInstanceGuard::acquire(lock);
    ASSERT_TRUE(second.has_value());

    // The lock moves with the guard and goes with its destruction.
    std::optional<SingleInstanceGuard> moved = std::move(second);
    second.reset();
    EXPECT_FALSE(SingleInstanceGuard::acquire(lock).has_value());
    moved.reset();
    EXPECT_TRUE(SingleInstanceGuard::acquire(lock).has_value());
}

TEST(SingleInstance, LockFileOfTheUser) {
    test::TempDir dir;
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string keep = saved != nullptr ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(defaultInstanceLockPath(), dir.file("qzr-writer-RunOnlyOneInstance.lock"));
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(defaultInstanceLockPath(),
              "/tmp/qzr-writer-RunOnlyOneInstance-" + std::to_string(::getuid()) + ".lock");
    if (saved != nullptr) ::setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
}

}  // namespace
}  // namespace qzr
