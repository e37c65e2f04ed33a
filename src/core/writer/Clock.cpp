#include "core/writer/Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace qzr {

int RealClock::clockTicks() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return (local.tm_sec % 60) * 100 + static_cast<int>(ms / 10);
}

void RealClock::sleepFor(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms < 1 ? 1 : ms));
}

Clock& realClock() {
    static RealClock clock;
    return clock;
}

bool budgetExpired(Clock& clock, int start, int budgetTicks) {
    return ticksSince(start, clock.clockTicks()) > budgetTicks;
}

bool CheckTimeOut(Clock& clock, int start) {
    return budgetExpired(clock, start, kReplyBudgetTicks);
}

bool DelayIn10ms(Clock& clock, int n, const std::atomic<bool>* stop) {
    const int start = clock.clockTicks();
    for (;;) {
        const int passed = ticksSince(start, clock.clockTicks());
        if (passed >= n) return true;
        if (stop && stop->load()) return false;
        // Sleep a part of what is left, so that a stop request is seen within a few milliseconds.
        const int leftMs = (n - passed) * 10;
        clock.sleepFor(leftMs < 5 ? leftMs : 5);
    }
}

}  // namespace qzr
