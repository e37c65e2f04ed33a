// Auto-program with verify of the largest device (QZR-D52) through the virtual writer: the host's CPU time
// per programmed byte when the box answers at once, and the total time against the wire time when it
// answers at the line rate of 115200 bit/s.
#include <benchmark/benchmark.h>

#include <chrono>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/OperationEngine.h"
#include "core/operations/OperationView.h"
#include "core/operations/WorkerThread.h"
#include "core/options/Options.h"
#include "core/writer/Clock.h"
#include "core/writer/VirtualWriter.h"

namespace {

// Counts the bytes that cross the line in both directions, and the turnarounds (the program writes after
// having read: each one waits for the writer's answer, so each costs one wake-up of the waiting thread).
class CountingLink final : public qzr::CommLink {
  public:
    explicit CountingLink(qzr::CommLink& inner) : inner_(inner) {}
    void PurgeIn() override { inner_.PurgeIn(); }
    void PurgeOut() override { inner_.PurgeOut(); }
    int Write(const uint8_t* b, int n) override {
        const int w = inner_.Write(b, n);
        if (w > 0) written += w;
        if (w > 0 && lastWasRead_) ++turnarounds;
        lastWasRead_ = false;
        return w;
    }
    int Read(uint8_t* b, int n) override {
        const int r = inner_.Read(b, n);
        if (r > 0) read += r;
        if (r > 0) lastWasRead_ = true;
        return r;
    }
    int InQueCount() override { return inner_.InQueCount(); }
    bool Cts() override { return inner_.Cts(); }
    bool WaitForInput(int ms) override { return inner_.WaitForInput(ms); }
    long written = 0;
    long read = 0;
    long turnarounds = 0;

  private:
    bool lastWasRead_ = false;
    qzr::CommLink& inner_;
};

class NullView final : public qzr::OperationView {
  public:
    void setText(qzr::ViewLine, const std::string&) override {}
    void setRed(qzr::ViewLine, bool) override {}
    void setVisible(qzr::ViewLine, bool) override {}
    void setContinueEnabled(bool) override {}
    void setExitEnabled(bool) override {}
    void setRepeatTimer(bool) override {}
};

void prepareProject(qzr::MainState& st) {
    // The writer check re-opens the program's port when it switches the handshake: a virtual one.
    st.link.portEntry = "virtual";
    qzr::selectDevice(st, "QZR-D52");
    for (std::size_t w = 0; w < static_cast<std::size_t>(st.device.programWordCount()); ++w)
        st.image.setProgramWord(w, qzr::splitWord(0x2000 + (w * 7 & 0x7FF)));
    st.optionBytes = {0x03, 0x7F, 0x7F, 0x7F};
    qzr::CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.options.optionStatus = {};
    st.operation.operationType = qzr::OperationType::AutoProgram;
}

// Bytes programmed into the chip: program memory, ID and checksum words, options.
double programmedBytes(const qzr::MainState& st) {
    return st.device.programByteCount + 16.0 + st.device.optionByteCount;
}

void BM_AutoProgramCpuPerByte(benchmark::State& state) {
    qzr::MainState st;
    prepareProject(st);
    qzr::FakeClock clock;
    qzr::VirtualWriter box(clock);
    box.Open();
    NullView view;
    for (auto _ : state) {
        box.insertChipFor(st.device);
        box.clearRecord();
        qzr::OperationEngine engine(st, box, clock, view);
        if (engine.run() != qzr::RunOutcome::Passed) state.SkipWithError("auto-program failed");
    }
    // Seconds of host CPU per programmed byte, shown with an SI prefix (500n = 500 ns).
    state.counters["cpu_per_byte"] = benchmark::Counter(
        programmedBytes(st), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * programmedBytes(st)));
}
BENCHMARK(BM_AutoProgramCpuPerByte)->Unit(benchmark::kMillisecond);

// Argument 1: a fast writer (two bytes per handshake in the data stream); 0: one byte per handshake. The
// virtual box paces its answers and counts one byte time for the bytes it answers, so with pairs its line
// is a little faster than the physical one (the second byte of a pair costs nothing) and the run ends
// under the wire time; with one byte per handshake the two agree.
void BM_AutoProgramAtLineRate(benchmark::State& state) {
    qzr::MainState st;
    prepareProject(st);
    qzr::prepareWriterThread();  // as the engine's worker thread does
    qzr::VirtualWriter box(qzr::realClock());
    box.setIdText(state.range(0) ? " HRP021A V3.30" : " HRP021A V3.25");
    box.Open();
    box.setLinePacing(true);
    NullView view;
    double wireSeconds = 0, totalSeconds = 0, turnarounds = 0;
    for (auto _ : state) {
        box.insertChipFor(st.device);
        box.clearRecord();
        CountingLink link(box);
        const auto start = std::chrono::steady_clock::now();
        qzr::OperationEngine engine(st, link, qzr::realClock(), view);
        if (engine.run() != qzr::RunOutcome::Passed) state.SkipWithError("auto-program failed");
        totalSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // 10 bits a byte (start, 8 data, stop) at 115200 bit/s, both directions.
        wireSeconds += static_cast<double>(link.written + link.read) * 10.0 / 115200.0;
        turnarounds += static_cast<double>(link.turnarounds);
    }
    state.counters["wire_ms"] = wireSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["total_ms"] = totalSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["over_wire_pct"] = (totalSeconds / wireSeconds - 1.0) * 100.0;
    // What the time above the wire costs per turnaround (mostly the wake-up of the waiting thread).
    state.counters["us_per_turnaround"] =
        turnarounds > 0 ? (totalSeconds - wireSeconds) * 1e6 / turnarounds : 0;
}
BENCHMARK(BM_AutoProgramAtLineRate)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

}  // namespace
