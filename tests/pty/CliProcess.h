#pragma once

// The command-line program as a process of its own, with its three standard streams on pipes: a test
// feeds its input line by line, watches its output and sends it signals. Every wait has a deadline.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace qzr::test {

class CliProcess {
  public:
    explicit CliProcess(const std::vector<std::string>& args) {
        // A write to the input of a program that has ended must not end the test.
        signal(SIGPIPE, SIG_IGN);
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<std::string> all{QZR_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, QZR_CLI_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        in_ = in[1];
        out_ = out[0];
        err_ = err[0];
        if (pid_ > 0) pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
    }
    ~CliProcess() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {in_, out_, err_, pidFd_})
            if (fd >= 0) close(fd);
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    bool started() const { return pid_ > 0 && pidFd_ >= 0; }
    pid_t pid() const { return pid_; }

    void write(const std::string& text) {
        if (in_ >= 0) {
            [[maybe_unused]] const ssize_t n = ::write(in_, text.data(), text.size());
        }
    }
    void closeInput() {
        if (in_ >= 0) close(in_);
        in_ = -1;
    }

    // Reads both outputs until the standard output holds `text` (counted from `from`) or the deadline
    // passes; returns where the text starts, or nothing.
    std::optional<std::size_t> waitForOutput(const std::string& text, std::size_t from = 0,
                                             std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (const auto at = out.find(text, from); at != std::string::npos) return at;
            if (!readSome(deadline)) return std::nullopt;
        }
    }

    // Waits for the process to end (its pidfd becomes readable), reading its outputs meanwhile; returns its
    // exit status, -1 when a signal ended it, nothing at the deadline.
    std::optional<int> wait(std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!status_) {
            if (!readSome(deadline)) return std::nullopt;
        }
        return status_;
    }

    std::string out;
    std::string err;

  private:
    // One poll over the outputs and the pidfd; false at the deadline.
    bool readSome(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd fds[3] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}, {status_ ? -1 : pidFd_, POLLIN, 0}};
        if (poll(fds, 3, static_cast<int>(left.count())) <= 0) return false;
        char buffer[4096];
        if (fds[0].revents) drain(out_, out, buffer, sizeof buffer);
        if (fds[1].revents) drain(err_, err, buffer, sizeof buffer);
        if (fds[2].revents && !status_) {
            // Ended: what it wrote last is in the pipes.
            int status = 0;
            waitpid(pid_, &status, 0);
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            while (drain(out_, out, buffer, sizeof buffer) > 0) {
            }
            while (drain(err_, err, buffer, sizeof buffer) > 0) {
            }
        }
        return true;
    }
    static ssize_t drain(int& fd, std::string& into, char* buffer, std::size_t size) {
        if (fd < 0) return 0;
        const ssize_t n = read(fd, buffer, size);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
        } else {
            close(fd);
            fd = -1;
        }
        return n;
    }

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
    std::optional<int> status_;
};

}  // namespace qzr::test
