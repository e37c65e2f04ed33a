#include "app/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace qzr {

std::optional<SingleInstanceGuard> SingleInstanceGuard::acquire(const std::string& lockPath) {
    // Read access is enough for flock; O_NOFOLLOW keeps a planted link from redirecting the file.
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return std::nullopt;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return SingleInstanceGuard(fd);
}

SingleInstanceGuard::SingleInstanceGuard(SingleInstanceGuard&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)) {}

SingleInstanceGuard& SingleInstanceGuard::operator=(SingleInstanceGuard&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

SingleInstanceGuard::~SingleInstanceGuard() {
    release();
}

void SingleInstanceGuard::release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

std::string defaultInstanceLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    if (runtime != nullptr && *runtime != '\0' && ::stat(runtime, &info) == 0 && S_ISDIR(info.st_mode)) {
        return std::string(runtime) + "/qzr-writer-RunOnlyOneInstance.lock";
    }
    return "/tmp/qzr-writer-RunOnlyOneInstance-" + std::to_string(::getuid()) + ".lock";
}

}  // namespace qzr
