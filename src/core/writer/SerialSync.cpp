#include "core/writer/SerialSync.h"

#include <utility>

namespace qzr {

TEvent::TEvent(bool manualReset, bool initialState, std::string name)
    : manualReset_(manualReset), signalled_(initialState), name_(std::move(name)) {}

TEventWaitResult TEvent::WaitFor(int timeoutMs) {
    std::unique_lock lock(mutex_);
    auto ready = [this] { return signalled_; };
    bool ok = timeoutMs < 0 ? (cv_.wait(lock, ready), true)
                            : cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    if (!ok) return TEventWaitResult::wrTimeout;
    if (!manualReset_) signalled_ = false;
    return TEventWaitResult::wrSignaled;
}

void TEvent::SetEvent() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    if (manualReset_)
        cv_.notify_all();
    else
        cv_.notify_one();
}

void TEvent::ResetEvent() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

// ---------------------------------------------------------------------------------------------------------

void CommCtsCache::Store(std::uint32_t count, bool state) {
    {
        std::lock_guard lock(mutex_);
        // Counts only grow (modulo wrap); a reading taken at an older count must not replace a newer one.
        if (valid_ && static_cast<std::int32_t>(count - count_) < 0) return;
        valid_ = true;
        count_ = count;
        state_ = state;
    }
    stored_.notify_all();
}

std::optional<bool> CommCtsCache::Lookup(std::uint32_t currentCount) const {
    std::lock_guard lock(mutex_);
    if (!Holds(currentCount)) return std::nullopt;
    return state_;
}

std::optional<bool> CommCtsCache::WaitFor(std::uint32_t currentCount, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    if (!stored_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return Holds(currentCount); }))
        return std::nullopt;
    return state_;
}

void CommCtsCache::Clear() {
    std::lock_guard lock(mutex_);
    valid_ = false;
}

// ---------------------------------------------------------------------------------------------------------

int CommMsLeft(CommClock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - CommClock::now()).count();
    if (left <= 0) return 0;
    return left > 1000000 ? 1000000 : static_cast<int>(left);
}

void CommSleepUntil(CommClock::time_point deadline) {
    std::mutex m;
    std::condition_variable cv;
    std::unique_lock lock(m);
    cv.wait_until(lock, deadline, [] { return false; });
}

}  // namespace qzr
