#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/writer/Clock.h"
#include "core/writer/CommLink.h"

namespace qzr::test {

// A port driven by a script on a fake clock. Replies are armed when the program has written a given
// number of bytes and arrive a given number of ticks later; a wait with nothing to arrive moves the fake
// clock on, so nothing blocks.
class ScriptedLink final : public CommPort {
  public:
    explicit ScriptedLink(FakeClock& clock) : clock_(clock) {}

    // After the program has written `afterWrites` bytes in total, `bytes` arrive `delayTicks` later.
    void replyAfter(std::size_t afterWrites, std::vector<uint8_t> bytes, int delayTicks = 0) {
        events_.push_back({afterWrites, delayTicks, std::move(bytes), -1});
    }
    // Bytes already waiting now.
    void preload(std::vector<uint8_t> bytes) { in_.insert(in_.end(), bytes.begin(), bytes.end()); }

    bool cts = true;
    std::vector<uint8_t> written;
    std::vector<int> writeTicks;  // the clock at each written byte
    int purges = 0;
    int opens = 0;
    int openError = 0;
    int failOpenFrom = 0;  // opens from this one on fail (0: never)
    TFlowControl flow = TFlowControl::fcDefault;
    std::string deviceName;
    std::function<void()> onWait;  // called at every WaitForInput (e.g. to raise a stop flag)

    void SetDeviceName(const std::string& name) override { deviceName = name; }
    std::string DeviceName() const override { return deviceName; }
    void SetFlowControl(TFlowControl f) override { flow = f; }
    void Open() override {
        ++opens;
        if (failOpenFrom > 0 && opens >= failOpenFrom) openError = 2;
        open_ = openError == 0;
    }
    void Close() override { open_ = false; }
    bool Enabled() const override { return open_; }
    int LastOpenError() const override { return openError; }

    void PurgeIn() override {
        ++purges;
        in_.clear();
    }
    void PurgeOut() override {}
    int Write(const uint8_t* buffer, int count) override {
        for (int i = 0; i < count; ++i) {
            written.push_back(buffer[i]);
            writeTicks.push_back(clock_.clockTicks());
        }
        for (auto& e : events_) {
            if (e.armedAtMs < 0 && written.size() >= e.afterWrites) e.armedAtMs = nowMs() + e.delayTicks * 10;
        }
        return count;
    }
    int Read(uint8_t* buffer, int count) override {
        deliver();
        int n = 0;
        while (n < count && !in_.empty()) {
            buffer[n++] = in_.front();
            in_.pop_front();
        }
        return n;
    }
    int InQueCount() override {
        deliver();
        return static_cast<int>(in_.size());
    }
    bool Cts() override { return cts; }
    bool WaitForInput(int timeoutMs) override {
        if (onWait) onWait();
        deliver();
        if (!in_.empty()) return true;
        // Sleep until the next armed reply or the time-out.
        int64_t until = nowMs() + timeoutMs;
        for (const auto& e : events_) {
            if (e.armedAtMs >= 0 && !e.bytes.empty() && e.armedAtMs < until) until = e.armedAtMs;
        }
        clock_.advanceMs(static_cast<int>(std::max<int64_t>(until - nowMs(), 1)));
        waitedMs += timeoutMs;
        deliver();
        return !in_.empty();
    }

    int64_t waitedMs = 0;

  private:
    struct Event {
        std::size_t afterWrites;
        int delayTicks;
        std::vector<uint8_t> bytes;
        int64_t armedAtMs;
    };
    int64_t nowMs() const { return clock_.nowMs(); }
    void deliver() {
        for (auto& e : events_) {
            if (e.armedAtMs >= 0 && !e.bytes.empty() && e.armedAtMs <= nowMs()) {
                in_.insert(in_.end(), e.bytes.begin(), e.bytes.end());
                e.bytes.clear();
            }
        }
    }

    FakeClock& clock_;
    std::deque<uint8_t> in_;
    std::vector<Event> events_;
    bool open_ = true;
};

}  // namespace qzr::test
