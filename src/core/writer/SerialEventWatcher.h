#pragma once

// The line-event watcher of an open port: a thread that blocks in the driver's wait for a modem-line change
// and reports each change. Terminate wakes it (the blocking wait is interrupted by a signal directed at the
// thread) and joins it; the wait itself can be replaced, so the wake-up can be checked without hardware.

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "core/writer/SerialSync.h"

namespace qzr {

class TCommEventThread {
  public:
    // The blocking wait: returns 0 on a change, or -1 with errno set (EINTR when woken).
    using WaitFunction = std::function<int()>;
    // Called on the watcher thread after every change.
    using EventSignal = std::function<void()>;

    TCommEventThread(WaitFunction wait, EventSignal eventSignal);
    ~TCommEventThread();
    TCommEventThread(const TCommEventThread&) = delete;
    TCommEventThread& operator=(const TCommEventThread&) = delete;

    // Waits on the driver of fd for a change of any line in lineMask (TIOCM_* bits).
    static WaitFunction ModemLineWait(int fd, int lineMask);
    // Whether a thread can be woken out of a blocking driver call in this process (a wake-up signal could be
    // claimed); without it no watcher is started.
    static bool WakeUpAvailable();

    // Asks the thread to end, wakes it and waits for it; true when it has ended within waitMs.
    bool Terminate(int waitMs = 2000);
    // The wait failed with something other than a wake-up (the driver cannot wait for line changes, or the
    // device is gone); the thread has ended.
    bool Failed() const { return state_->failed.load(); }
    // Waits up to waitMs for the thread to end by itself (its wait failed); true when it has.
    bool WaitEnded(int waitMs) const {
        return state_->finished.WaitFor(waitMs) == TEventWaitResult::wrSignaled;
    }
    bool Running() const;

  private:
    // Shared with the thread, so that a thread left behind never touches a destroyed object.
    struct State {
        WaitFunction wait;
        EventSignal eventSignal;
        std::atomic<bool> terminated{false};
        std::atomic<bool> failed{false};
        TSimpleEvent finished;
    };
    static void Run(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace qzr
