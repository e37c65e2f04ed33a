#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "writer/Clock.h"
#include "writer/CommLink.h"

namespace qzr {

// What a FaultLink injects.
struct FaultPlan {
    // Faults at fixed positions: the index of the byte received from the writer (0 = the first
    // since the link was made) or sent by the program.
    std::vector<long> dropIn;   // received bytes that vanish
    std::vector<long> flipIn;   // received bytes with one bit flipped
    std::vector<long> delayIn;  // received bytes held back by delayTicks
    std::vector<long> dropOut;  // sent bytes that never reach the writer
    // Faults by rate (0 .. 1), drawn for every received byte.
    double dropRate = 0;
    double flipRate = 0;
    double delayRate = 0;
    int delayTicks = 50;
    long silenceAfter = -1;  // after this many received bytes nothing more comes through
    bool ctsOff = false;
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
    // One line per injected fault ("drop in 12", "flip in 3 bit 7", "delay in 5", "drop out 9", ...).
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
    Plan plan_;
    std::deque<uint8_t> ready_;
    std::deque<Held> held_;
    long received_ = 0;
    long sent_ = 0;
    std::vector<std::string> log_;
};

}  // namespace qzr
