#include "core/writer/SerialEventWatcher.h"

#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace qzr {

namespace {

// The signal that wakes a watcher out of its blocking driver call; its handler does nothing.
extern "C" void CommWakeHandler(int) {}
int WakeSignal() {
    return SIGRTMIN + 5;
}

}  // namespace

TCommEventThread::TCommEventThread(WaitFunction wait, EventSignal eventSignal)
    : state_(std::make_shared<State>()) {
    state_->wait = std::move(wait);
    state_->eventSignal = std::move(eventSignal);
    thread_ = std::thread([state = state_] { Run(state); });
}

TCommEventThread::~TCommEventThread() {
    Terminate();
}

TCommEventThread::WaitFunction TCommEventThread::ModemLineWait(int fd, int lineMask) {
    return [fd, lineMask] { return ::ioctl(fd, TIOCMIWAIT, static_cast<unsigned long>(lineMask)); };
}

bool TCommEventThread::WakeUpAvailable() {
    static const bool available = [] {
        struct sigaction old {};
        if (sigaction(WakeSignal(), nullptr, &old) != 0) return false;
        if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == CommWakeHandler) return true;
        if ((old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) return false;  // someone else's
        struct sigaction sa {};
        sa.sa_handler = CommWakeHandler;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: the blocking call returns EINTR
        return sigaction(WakeSignal(), &sa, nullptr) == 0;
    }();
    return available;
}

void TCommEventThread::Run(const std::shared_ptr<State>& state) {
    // The wake-up signal must reach this thread even where the creator blocks it.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, WakeSignal());
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    while (!state->terminated.load()) {
        int r = state->wait();
        int err = errno;
        if (state->terminated.load()) break;
        if (r == 0) {
            if (state->eventSignal) state->eventSignal();
            continue;
        }
        if (err == EINTR) continue;
        state->failed.store(true);
        break;
    }
    state->finished.SetEvent();
}

bool TCommEventThread::Running() const {
    return thread_.joinable() && !state_->failed.load();
}

bool TCommEventThread::Terminate(int waitMs) {
    state_->terminated.store(true);
    if (!thread_.joinable()) return true;
    auto deadline = CommClock::now() + std::chrono::milliseconds(waitMs);
    // The signal can arrive just before the thread enters its wait; repeat it until the thread has ended.
    while (true) {
        if (WakeUpAvailable()) pthread_kill(thread_.native_handle(), WakeSignal());
        if (state_->finished.WaitFor(5) == TEventWaitResult::wrSignaled) break;
        if (CommClock::now() >= deadline) {
            // A driver that ignores the wake-up: leave the thread behind rather than hang the caller; it ends
            // (and reports nothing more) when its wait returns.
            thread_.detach();
            return false;
        }
    }
    thread_.join();
    return true;
}

}  // namespace qzr
