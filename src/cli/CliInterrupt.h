#pragma once

#include <signal.h>

#include <array>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace qzr::cli {

// SIGINT and SIGTERM while the program runs: instead of ending the process they raise a flag that the
// commands look at, and call the stop of the job in progress (from a thread of their own), so that the job
// ends at its next exchange and the port is closed (its settings restored) on the way out. One exists at
// a time; the signals' earlier handling is restored when it ends.
class Interrupts {
  public:
    Interrupts();
    ~Interrupts();
    Interrupts(const Interrupts&) = delete;
    Interrupts& operator=(const Interrupts&) = delete;

    bool interrupted() const;
    // A descriptor that becomes readable when the interrupt comes (and stays so): for poll().
    int fd() const { return pipe_[0]; }

    // While it lives, `stop` is called when an interrupt comes (on the watcher's thread, under a lock that
    // the target's end waits for; it must only raise a flag); at once when one has come already.
    class StopTarget {
      public:
        StopTarget(Interrupts* owner, std::function<void()> stop);
        ~StopTarget();
        StopTarget(const StopTarget&) = delete;
        StopTarget& operator=(const StopTarget&) = delete;

      private:
        Interrupts* owner_;
    };

  private:
    void watch();

    int pipe_[2] = {-1, -1};      // written by the signal handler, never drained
    int shutdown_[2] = {-1, -1};  // ends the watcher
    std::array<struct sigaction, 2> old_{};
    mutable std::mutex mutex_;
    bool seen_ = false;
    std::function<void()> stop_;
    std::thread watcher_;
};

// Reads the operator's lines for `run` from a descriptor, waiting in poll() on it and on the interrupt.
class LineReader {
  public:
    enum class Result { Line, End, Interrupted };
    LineReader(int fd, const Interrupts* interrupts) : fd_(fd), interrupts_(interrupts) {}
    // The next line without its line end (CR LF or LF).
    Result next(std::string& line);
    // The operator's answer before the next chip: Line goes on; End at the end of the input or for a "q".
    Result operatorAnswer();

  private:
    int fd_;
    const Interrupts* interrupts_;
    std::string buffer_;
    bool ended_ = false;
};

}  // namespace qzr::cli
