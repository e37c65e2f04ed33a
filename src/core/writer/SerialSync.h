#pragma once

// The small synchronisation classes of the serial port component: events, a lock, the CTS cache shared by
// the port and its watcher, and the waits on the clock the port uses.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace qzr {

enum class TEventWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

// Owns one synchronisation object; keeps the system error number of the last failed wait.
class THandleObject {
  public:
    virtual ~THandleObject() = default;
    int LastError() const { return lastError_; }

  protected:
    int lastError_ = 0;
};

// An event: signalled or not; a manual-reset event stays signalled until ResetEvent, an auto-reset event
// releases one waiter and clears itself.
class TEvent : public THandleObject {
  public:
    explicit TEvent(bool manualReset = true, bool initialState = false, std::string name = {});
    TEventWaitResult WaitFor(int timeoutMs);
    void SetEvent();
    void ResetEvent();
    const std::string& Name() const { return name_; }

  private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool manualReset_;
    bool signalled_;
    std::string name_;
};

// A manual-reset, initially non-signalled, unnamed event.
class TSimpleEvent : public TEvent {
  public:
    TSimpleEvent() : TEvent(true, false) {}
};

// A mutual-exclusion lock; lock()/unlock() let std::lock_guard hold it.
class TCriticalSection {
  public:
    void Acquire() { mutex_.lock(); }
    void Release() { mutex_.unlock(); }
    void Enter() { Acquire(); }
    void Leave() { Release(); }
    void lock() { Acquire(); }
    void unlock() { Release(); }

  private:
    std::mutex mutex_;
};

// ---------------------------------------------------------------------------------------------------------
// CTS cache: the CTS state together with the driver's count of CTS changes at the time it was read. The
// state is good for as long as the driver's count has not moved.

class CommCtsCache {
  public:
    // Keeps (count, state) unless a reading taken at a later count is already held.
    void Store(std::uint32_t count, bool state);
    // The held state when it was read at currentCount or later; nothing when the line has changed since.
    std::optional<bool> Lookup(std::uint32_t currentCount) const;
    // As Lookup, waiting up to timeoutMs for a reading at currentCount or later to be stored.
    std::optional<bool> WaitFor(std::uint32_t currentCount, int timeoutMs) const;
    void Clear();

  private:
    bool Holds(std::uint32_t currentCount) const {
        return valid_ && static_cast<std::int32_t>(count_ - currentCount) >= 0;
    }
    mutable std::mutex mutex_;
    mutable std::condition_variable stored_;
    bool valid_ = false;
    std::uint32_t count_ = 0;
    bool state_ = false;
};

// ---------------------------------------------------------------------------------------------------------
// Waits on the clock.

using CommClock = std::chrono::steady_clock;

// Milliseconds left until deadline (0 when it has passed, at most 1000000).
int CommMsLeft(CommClock::time_point deadline);
// Blocks the calling thread until deadline without touching the port.
void CommSleepUntil(CommClock::time_point deadline);

}  // namespace qzr
