#pragma once

#include <optional>
#include <string>

namespace qzr {

// What a second copy of the program shows before it ends.
inline constexpr const char* kProcessRunningMessage = "Process is running!";

// Keeps a second copy of the program from starting. The guard holds an exclusive lock on a lock file; the
// system drops the lock with the process, so a copy that crashed or was killed never blocks the next start.
class SingleInstanceGuard {
  public:
    // The guard, or nothing when another process holds the lock (or the lock file cannot be opened).
    static std::optional<SingleInstanceGuard> acquire(const std::string& lockPath);

    SingleInstanceGuard(SingleInstanceGuard&& other) noexcept;
    SingleInstanceGuard& operator=(SingleInstanceGuard&& other) noexcept;
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;
    // Releases the lock.
    ~SingleInstanceGuard();

  private:
    explicit SingleInstanceGuard(int fd) : fd_(fd) {}
    void release();

    int fd_ = -1;
};

// The lock file of the current user: "RunOnlyOneInstance" in $XDG_RUNTIME_DIR, or in /tmp with the user id
// in its name.
std::string defaultInstanceLockPath();

}  // namespace qzr
