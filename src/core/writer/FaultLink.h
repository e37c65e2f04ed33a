#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "core/writer/Clock.h"
#include "core/writer/CommLink.h"

namespace qzr {

// What a FaultLink injects.
struct FaultPlan {
    // Faults at fixed positions: the index of the byte received from the writer (0 = the first
    // since the link was made) or sent by the program.
    std::vector<long> dropIn;   // received bytes that vanish
    std::vector<long> flipIn;   // received bytes with one bit flipped
    std::vector<long> delayIn;  // received bytes held back by delayTicks
    std::vector<long> dropOut;  // sent bytes that never reach the writer
    std::vector<long> flipOut;  // sent bytes that reach the writer with one bit flipped
    // Faults by rate (0 .. 1), drawn for every received byte.
    double dropRate = 0;
    double flipRate = 0;
    double delayRate = 0;
    // Faults by rate for every sent byte (drawn from a generator of their own, so that they do not change
    // what the received bytes draw).
    double dropOutRate = 0;
    double flipOutRate = 0;
    int delayTicks = 50;
    long silenceAfter = -1;  // after this many received bytes nothing more comes through
    bool ctsOff = false;
    long ctsOffAfter = -1;  // CTS goes off for good once this many bytes were sent
};

// A link that injects faults between the program and another link (usually the virtual writer): bytes
// from the writer dropped, delayed or with a bit flipped, bytes from the program lost, CTS held off, the
// writer going silent. Faults come from fixed positions and from rates drawn from a seeded generator, so a
// run with the same seed and the same traffic injects the same faults. Every injected fault is logged.
class FaultLink final : public CommLink {
  public:
    using Plan = FaultPlan;

    FaultLink(CommLink& inner, Clock& clock, uint32_t seed, Plan plan = {});

    void setPlan(const Plan& plan);
    // One line per injected fault ("drop in 12", "flip in 3 bit 7", "delay in 5", "drop out 9",
    // "flip out 4 bit 2", "cts off after 30", ...).
    std::vector<std::string> log() const;
    long receivedCount() const;
    long sentCount() const;

    void PurgeIn() override;
    void PurgeOut() override;
    int Write(const uint8_t* buffer, int count) override;
    int Read(uint8_t* buffer, int count) override;
    int InQueCount() override;
    bool Cts() override;
    bool WaitForInput(int timeoutMs) override;

  private:
    struct Held {
        uint8_t byte;
        int since;  // tick when it was held back
        int ticks;
    };
    // Moves what the inner link received through the faults into the queue.
    void pull();
    bool listed(const std::vector<long>& list, long index) const;

    mutable std::mutex mutex_;
    CommLink& inner_;
    Clock& clock_;
    std::mt19937 random_;
    std::mt19937 randomOut_;
    Plan plan_;
    std::deque<uint8_t> ready_;
    std::deque<Held> held_;
    long received_ = 0;
    long sent_ = 0;
    bool ctsOffLogged_ = false;
    std::vector<std::string> log_;
};

}  // namespace qzr
