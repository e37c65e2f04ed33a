// Read IC on the host: the cost of a whole chip read through the virtual writer (ID, options, auxiliary
// words, program memory, EEPROM), and what the timer-counted time-out of the program-memory stream costs in
// CPU time (its waits block, they do not spin).

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <thread>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/ReadIcCommand.h"
#include "core/writer/ReadIc.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterProtocol.h"

namespace {

using namespace qzr;
using namespace std::chrono_literals;

// Only counts the program-memory stage's timer phase: a silent writer after the program header.
class SilenceAfterProgramHeader final : public CommLink {
  public:
    explicit SilenceAfterProgramHeader(CommLink& inner) : inner_(inner) {}
    void PurgeIn() override { inner_.PurgeIn(); }
    void PurgeOut() override { inner_.PurgeOut(); }
    int Write(const uint8_t* buffer, int count) override { return inner_.Write(buffer, count); }
    int Read(uint8_t* buffer, int count) override {
        const int n = inner_.Read(buffer, count);
        return silent ? 0 : n;
    }
    int InQueCount() override { return silent ? 0 : inner_.InQueCount(); }
    bool Cts() override { return inner_.Cts(); }
    bool WaitForInput(int timeoutMs) override {
        if (!silent) return inner_.WaitForInput(timeoutMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
        return false;
    }
    bool silent = false;

  private:
    CommLink& inner_;
};

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// QZR-D52: 6144 words and no EEPROM; QZR-D05: 4096 words and 256 EEPROM bytes.
void wholeChip(benchmark::State& state, const char* device) {
    MainState st;
    selectDevice(st, device);
    VirtualWriter box;
    box.insertChipFor(st.device);
    box.Open();
    ReadIcView view;
    int64_t bytes = 0;
    for (auto _ : state) {
        ReadIcTimer timer(realClock());
        WriterLink writer(st.link, st.image, box, realClock());
        ReadIcJob job = readIcJob(st);
        if (ReadIcProc(job, writer, view, timer) != ReadIcOutcome::Done) state.SkipWithError("read failed");
        bytes += st.device.programByteCount;
    }
    state.SetBytesProcessed(bytes);
}

void BM_ReadIcWholeChip(benchmark::State& state) {
    wholeChip(state, "QZR-D52");
}
void BM_ReadIcWholeChipWithEeprom(benchmark::State& state) {
    wholeChip(state, "QZR-D05");
}
BENCHMARK(BM_ReadIcWholeChip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadIcWholeChipWithEeprom)->Unit(benchmark::kMillisecond);

// A writer that falls silent in the program stream: the read waits three timer ticks (here 50 ms each)
// and fails. The goal is well under 5 % of one core while it waits.
void BM_ProgramStreamTimeoutCpuShare(benchmark::State& state) {
    MainState st;
    selectDevice(st, "QZR-D52");
    VirtualWriter box;
    box.insertChipFor(st.device);
    box.Open();
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        SilenceAfterProgramHeader link(box);
        WriterLink writer(st.link, st.image, link, realClock());
        ReadIcTimer timer(realClock(), 5);  // 50 ms
        // The first four stages run normally; the program stream never comes.
        struct Silencer final : ReadIcView {
            SilenceAfterProgramHeader* link;
            void setGauge(int percent) override {
                if (percent == 0) link->silent = true;
            }
        } silencer;
        silencer.link = &link;
        const double c0 = threadCpuSeconds();
        const auto w0 = std::chrono::steady_clock::now();
        ReadIcJob job = readIcJob(st);
        if (ReadIcProc(job, writer, silencer, timer) != ReadIcOutcome::Failed)
            state.SkipWithError("no time-out");
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        cpu += threadCpuSeconds() - c0;
    }
    state.counters["wall_s"] = wall / static_cast<double>(state.iterations());
    state.counters["cpu_share_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
}
BENCHMARK(BM_ProgramStreamTimeoutCpuShare)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
