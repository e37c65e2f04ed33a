#include "core/writer/FaultLink.h"

#include <algorithm>

namespace qzr {

FaultLink::FaultLink(CommLink& inner, Clock& clock, uint32_t seed, Plan plan)
    : inner_(inner), clock_(clock), random_(seed), randomOut_(seed ^ 0x9E3779B9u), plan_(std::move(plan)) {}

void FaultLink::setPlan(const Plan& plan) {
    std::lock_guard lock(mutex_);
    plan_ = plan;
}

std::vector<std::string> FaultLink::log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

long FaultLink::receivedCount() const {
    std::lock_guard lock(mutex_);
    return received_;
}

long FaultLink::sentCount() const {
    std::lock_guard lock(mutex_);
    return sent_;
}

bool FaultLink::listed(const std::vector<long>& list, long index) const {
    return std::find(list.begin(), list.end(), index) != list.end();
}

void FaultLink::pull() {
    // Held bytes whose time has come join the queue first.
    const int now = clock_.clockTicks();
    while (!held_.empty() && ticksSince(held_.front().since, now) >= held_.front().ticks) {
        ready_.push_back(held_.front().byte);
        held_.pop_front();
    }
    uint8_t buf[256];
    for (;;) {
        const int waiting = inner_.InQueCount();
        if (waiting <= 0) break;
        const int n = inner_.Read(buf, std::min(waiting, static_cast<int>(sizeof buf)));
        if (n <= 0) break;
        for (int i = 0; i < n; ++i) {
            const long index = received_++;
            uint8_t b = buf[i];
            std::uniform_real_distribution<double> chance(0.0, 1.0);
            // Always draw the same numbers per byte, so positions and rates do not disturb each other.
            const double dropDraw = chance(random_);
            const double flipDraw = chance(random_);
            const double delayDraw = chance(random_);
            const int bit = static_cast<int>(random_() % 8);
            if (plan_.silenceAfter >= 0 && index >= plan_.silenceAfter) {
                if (index == plan_.silenceAfter) log_.push_back("silent from " + std::to_string(index));
                continue;
            }
            if (listed(plan_.dropIn, index) || dropDraw < plan_.dropRate) {
                log_.push_back("drop in " + std::to_string(index));
                continue;
            }
            if (listed(plan_.flipIn, index) || flipDraw < plan_.flipRate) {
                b ^= static_cast<uint8_t>(1u << bit);
                log_.push_back("flip in " + std::to_string(index) + " bit " + std::to_string(bit));
            }
            if (listed(plan_.delayIn, index) || delayDraw < plan_.delayRate || !held_.empty()) {
                // Later bytes queue behind a held one: the line keeps its order.
                if (held_.empty() || listed(plan_.delayIn, index) || delayDraw < plan_.delayRate) {
                    log_.push_back("delay in " + std::to_string(index));
                }
                held_.push_back({b, now, held_.empty() ? plan_.delayTicks : 0});
                continue;
            }
            ready_.push_back(b);
        }
    }
}

void FaultLink::PurgeIn() {
    std::lock_guard lock(mutex_);
    inner_.PurgeIn();
    ready_.clear();
    held_.clear();
}

void FaultLink::PurgeOut() {
    std::lock_guard lock(mutex_);
    inner_.PurgeOut();
}

int FaultLink::Write(const uint8_t* buffer, int count) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < count; ++i) {
        const long index = sent_++;
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        const double dropDraw = chance(randomOut_);
        const double flipDraw = chance(randomOut_);
        const int bit = static_cast<int>(randomOut_() % 8);
        if (listed(plan_.dropOut, index) || dropDraw < plan_.dropOutRate) {
            log_.push_back("drop out " + std::to_string(index));
            continue;
        }
        uint8_t b = buffer[i];
        if (listed(plan_.flipOut, index) || flipDraw < plan_.flipOutRate) {
            b ^= static_cast<uint8_t>(1u << bit);
            log_.push_back("flip out " + std::to_string(index) + " bit " + std::to_string(bit));
        }
        if (inner_.Write(&b, 1) < 0) return -1;
    }
    return count;
}

int FaultLink::Read(uint8_t* buffer, int count) {
    std::lock_guard lock(mutex_);
    pull();
    int n = 0;
    while (n < count && !ready_.empty()) {
        buffer[n++] = ready_.front();
        ready_.pop_front();
    }
    return n;
}

int FaultLink::InQueCount() {
    std::lock_guard lock(mutex_);
    const int inner = inner_.InQueCount();
    if (inner < 0) return -1;
    pull();
    return static_cast<int>(ready_.size());
}

bool FaultLink::Cts() {
    std::lock_guard lock(mutex_);
    if (plan_.ctsOffAfter >= 0 && sent_ >= plan_.ctsOffAfter) {
        if (!ctsOffLogged_) log_.push_back("cts off after " + std::to_string(plan_.ctsOffAfter));
        ctsOffLogged_ = true;
        return false;
    }
    return !plan_.ctsOff && inner_.Cts();
}

bool FaultLink::WaitForInput(int timeoutMs) {
    std::unique_lock lock(mutex_);
    pull();
    if (!ready_.empty()) return true;
    const bool holding = !held_.empty();
    lock.unlock();
    if (holding) {
        clock_.sleepFor(std::min(timeoutMs, 10));
    } else {
        inner_.WaitForInput(timeoutMs);
    }
    lock.lock();
    pull();
    return !ready_.empty();
}

}  // namespace qzr
