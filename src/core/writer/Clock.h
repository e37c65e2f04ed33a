#pragma once

#include <atomic>
#include <cstdint>

namespace qzr {

// The tick clock that times all writer traffic: `clockTicks` counts 10-ms ticks within the current minute
// (100 x seconds + milliseconds / 10, so 0 .. 5999) and wraps to 0 at every full minute.
//
// Waits never spin: a caller that has nothing to do until the clock has moved calls sleepFor(), which
// blocks the thread (the real clock) or moves the time on (the fake clock of the tests).
class Clock {
  public:
    virtual ~Clock() = default;
    virtual int clockTicks() = 0;
    // Blocks for about ms milliseconds (at least 1).
    virtual void sleepFor(int ms) = 0;
};

inline constexpr int kTicksPerMinute = 6000;
// The reply budget: a wait has expired after more than this many ticks (1.00 s).
inline constexpr int kReplyBudgetTicks = 100;

// The local wall clock.
class RealClock final : public Clock {
  public:
    int clockTicks() override;
    void sleepFor(int ms) override;
};

// The process's real clock.
Clock& realClock();

// A clock that only moves when told to (or when a wait sleeps on it). Safe to read from several threads.
class FakeClock final : public Clock {
  public:
    explicit FakeClock(int ticks = 0) { setTicks(ticks); }
    int clockTicks() override { return static_cast<int>((ms_.load() / 10) % kTicksPerMinute); }
    // Sleeping moves the time on by ms; nothing blocks.
    void sleepFor(int ms) override {
        ms_ += ms < 1 ? 1 : ms;
        sleptMs_ += ms < 1 ? 1 : ms;
    }
    void setTicks(int ticks) { ms_ = static_cast<int64_t>(ticks) * 10; }
    void advanceTicks(int ticks) { ms_ += static_cast<int64_t>(ticks) * 10; }
    void advanceMs(int ms) { ms_ += ms; }
    // The clock's time in milliseconds, without the minute wrap.
    int64_t nowMs() const { return ms_.load(); }
    // Milliseconds passed in sleepFor() since construction (how long the waits "blocked").
    int64_t sleptMs() const { return sleptMs_.load(); }

  private:
    std::atomic<int64_t> ms_{0};
    std::atomic<int64_t> sleptMs_{0};
};

// Ticks from start to now, allowing one wrap of the minute.
inline int ticksSince(int start, int now) {
    return now < start ? now + kTicksPerMinute - start : now - start;
}

// True when the one-second budget counted from start has run out: more than 100 ticks have passed (at
// exactly 100 ticks it has not).
bool CheckTimeOut(Clock& clock, int start);
// The same for any budget in ticks.
bool budgetExpired(Clock& clock, int start, int budgetTicks);

// Waits until the tick clock has advanced by n ticks (the pause lasts between n - 1 and n tick lengths).
// When a stop flag is given and raised, returns false early; otherwise true.
bool DelayIn10ms(Clock& clock, int n, const std::atomic<bool>* stop = nullptr);

}  // namespace qzr
