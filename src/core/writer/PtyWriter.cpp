#include "core/writer/PtyWriter.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace qzr {

PtyWriter::PtyWriter(Clock& clock) : box_(clock) {}

PtyWriter::~PtyWriter() {
    for (int fd : {master_, slave_, wake_[0], wake_[1]}) {
        if (fd >= 0) ::close(fd);
    }
}

bool PtyWriter::open(std::string& error) {
    if (master_ >= 0) return true;
    auto refuse = [&](const char* what) {
        error = std::string(what) + ": " + std::strerror(errno);
        return false;
    };
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return refuse("pipe");
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return refuse("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return refuse("unlockpt");
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) return refuse("ptsname");
    path_ = name;
    // A handle of our own keeps the line up while no program has it open; raw, so that no byte is
    // translated before a program sets its own line settings.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) return refuse(name);
    termios t{};
    if (::tcgetattr(slave_, &t) != 0) return refuse(name);
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(slave_, TCSANOW, &t) != 0) return refuse(name);
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return refuse("fcntl");
    return true;
}

void PtyWriter::stop() {
    const char b = 1;
    if (wake_[1] >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &b, 1);
    }
}

bool PtyWriter::serve() {
    if (master_ < 0) return false;
    std::vector<uint8_t> out;  // answers the other side has not taken yet
    uint8_t buf[4096];
    for (;;) {
        pollfd p[2] = {{master_, static_cast<short>(POLLIN | (out.empty() ? 0 : POLLOUT)), 0},
                       {wake_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (p[1].revents & POLLIN) return true;
        // The line is gone (it cannot be while our own handle is open): stop rather than spin.
        if ((p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) && !(p[0].revents & POLLIN)) return false;
        if (p[0].revents & POLLIN) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) return false;
            if (n > 0) {
                std::lock_guard lock(mutex_);
                for (ssize_t i = 0; i < n; ++i) {
                    box_.receive(buf[i]);
                    const auto answers = box_.takeAnswers();
                    out.insert(out.end(), answers.begin(), answers.end());
                }
            }
        }
        if (!out.empty()) {
            const ssize_t n = ::write(master_, out.data(), out.size());
            if (n > 0) out.erase(out.begin(), out.begin() + n);
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        }
    }
}

}  // namespace qzr
