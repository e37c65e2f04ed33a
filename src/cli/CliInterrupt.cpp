#include "cli/CliInterrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "core/common/Text.h"

namespace qzr::cli {

namespace {

volatile sig_atomic_t gInterruptFd = -1;
constexpr std::array<int, 2> kSignals{SIGINT, SIGTERM};

extern "C" void onInterrupt(int) {
    const int saved = errno;
    const int fd = gInterruptFd;
    const char b = 1;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, &b, 1);
    }
    errno = saved;
}

void makePipe(int (&fds)[2]) {
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) fds[0] = fds[1] = -1;
}

void closePipe(int (&fds)[2]) {
    for (int& fd : fds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

// Waits until one of the descriptors is readable; returns its index, or -1 when poll() failed.
int waitReadable(std::array<pollfd, 2>& fds) {
    for (;;) {
        for (pollfd& p : fds) p.revents = 0;
        const int n = ::poll(fds.data(), fds.size(), -1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return -1;
        for (std::size_t i = 0; i < fds.size(); ++i)
            if (fds[i].fd >= 0 && fds[i].revents != 0) return static_cast<int>(i);
    }
}

}  // namespace

Interrupts::Interrupts() {
    makePipe(pipe_);
    makePipe(shutdown_);
    if (pipe_[0] < 0 || shutdown_[0] < 0) return;  // the signals keep their own handling then
    gInterruptFd = pipe_[1];
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &sa, &old_[i]);
    watcher_ = std::thread([this] { watch(); });
}

Interrupts::~Interrupts() {
    if (shutdown_[1] >= 0) {
        const char b = 0;
        [[maybe_unused]] const ssize_t n = ::write(shutdown_[1], &b, 1);
    }
    if (watcher_.joinable()) {
        watcher_.join();
        for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &old_[i], nullptr);
        gInterruptFd = -1;
    }
    closePipe(pipe_);
    closePipe(shutdown_);
}

bool Interrupts::interrupted() const {
    std::lock_guard lock(mutex_);
    if (seen_) return true;
    // The watcher may not have woken yet.
    pollfd p{pipe_[0], POLLIN, 0};
    return pipe_[0] >= 0 && ::poll(&p, 1, 0) == 1;
}

void Interrupts::watch() {
    std::array<pollfd, 2> fds{pollfd{shutdown_[0], POLLIN, 0}, pollfd{pipe_[0], POLLIN, 0}};
    if (shutdown_[0] < 0) return;
    for (;;) {
        const int which = waitReadable(fds);
        if (which <= 0) return;  // shut down (or poll failed)
        {
            // Called under the lock: the target cannot end while its stop runs.
            std::lock_guard lock(mutex_);
            seen_ = true;
            if (stop_) stop_();
        }
        fds[1].fd = -1;  // one interrupt is enough; from now on targets are stopped as they come
    }
}

Interrupts::StopTarget::StopTarget(Interrupts* owner, std::function<void()> stop) : owner_(owner) {
    if (!owner_) return;
    bool now = false;
    {
        std::lock_guard lock(owner_->mutex_);
        owner_->stop_ = stop;
        now = owner_->seen_;
    }
    if (now || owner_->interrupted()) stop();
}

Interrupts::StopTarget::~StopTarget() {
    if (!owner_) return;
    std::lock_guard lock(owner_->mutex_);
    owner_->stop_ = nullptr;
}

LineReader::Result LineReader::next(std::string& line) {
    for (;;) {
        if (const auto eol = buffer_.find('\n'); eol != std::string::npos) {
            line = buffer_.substr(0, eol);
            buffer_.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return Result::Line;
        }
        if (ended_ || fd_ < 0) {
            if (buffer_.empty()) return Result::End;
            line = std::exchange(buffer_, std::string());  // a last line without its line end
            return Result::Line;
        }
        std::array<pollfd, 2> fds{pollfd{interrupts_ ? interrupts_->fd() : -1, POLLIN, 0},
                                  pollfd{fd_, POLLIN, 0}};
        const int which = waitReadable(fds);
        if (which == 0) return Result::Interrupted;
        if (which < 0) {
            ended_ = true;
            continue;
        }
        char chunk[256];
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            ended_ = true;
        }
    }
}

LineReader::Result LineReader::operatorAnswer() {
    std::string line;
    const Result r = next(line);
    return r == Result::Line && trimBlanks(line) == "q" ? Result::End : r;
}

}  // namespace qzr::cli
