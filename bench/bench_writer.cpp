// Writer protocol costs on the host: what a one-second reply time-out costs in CPU time (the waits block,
// they do not spin), and the host cost of one handshake round trip through the virtual writer, per byte.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <chrono>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/StateHeader.h"
#include "core/device/DeviceCatalogue.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterProtocol.h"

namespace {

using namespace qzr;

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs one exchange per iteration against a writer that never answers (or never raises CTS) and reports
// the CPU time spent as a share of the wall time: the goal is well under 5 % of one core.
void timeoutCpuShare(benchmark::State& state, bool ctsOff) {
    MainState st;
    VirtualWriter box;  // on the real clock
    box.Open();
    VirtualWriter::Faults f;
    f.silenceAfter = 0;
    f.ctsOff = ctsOff;
    box.setFaults(f);
    WriterLink writer(st.link, st.image, box, realClock());
    GetHeader(st, kAreaId, kKindRead);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double c0 = threadCpuSeconds();
        const auto w0 = std::chrono::steady_clock::now();
        const LinkResult r = writer.SendHeader(10);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        cpu += threadCpuSeconds() - c0;
        if (r != lrTimeout) state.SkipWithError("expected a time-out");
    }
    state.counters["wall_s"] = wall / static_cast<double>(state.iterations());
    state.counters["cpu_share_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
}

void BM_ReplyTimeoutCpuShare(benchmark::State& state) {
    timeoutCpuShare(state, false);
}
void BM_CtsTimeoutCpuShare(benchmark::State& state) {
    timeoutCpuShare(state, true);
}
BENCHMARK(BM_ReplyTimeoutCpuShare)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CtsTimeoutCpuShare)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same over the serial component on a pseudo-terminal whose far end never answers: the wait blocks in
// poll() on the real port.
void BM_ReplyTimeoutCpuShareSerialPort(benchmark::State& state) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    char name[128];
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        state.SkipWithError("no pseudo-terminal");
        for (auto _ : state) {
        }
        return;
    }
    auto port = createSerialPort();
    port->SetDeviceName(name);
    port->SetFlowControl(TFlowControl::fcNone);
    port->Open();
    MainState st;
    WriterLink writer(st.link, st.image, *port, realClock());
    GetHeader(st, kAreaId, kKindRead);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double c0 = threadCpuSeconds();
        const auto w0 = std::chrono::steady_clock::now();
        const LinkResult r = writer.Read7BitData(32);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        cpu += threadCpuSeconds() - c0;
        if (r != lrTimeout) state.SkipWithError("expected a time-out");
    }
    port->Close();
    ::close(master);
    state.counters["wall_s"] = wall / static_cast<double>(state.iterations());
    state.counters["cpu_share_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
}
BENCHMARK(BM_ReplyTimeoutCpuShareSerialPort)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// Programs the whole program memory of QZR-D11 (4096 bytes) with the streaming handshake: wait for CTS,
// send a byte (or a pair), wait for the answer, read it. Reported per byte sent.
void handshakeRoundTrip(benchmark::State& state, bool pairs, bool paced) {
    MainState st;
    selectDevice(st, "QZR-D11");
    VirtualWriter box;
    box.setIdText(pairs ? " HRP021A V3.30" : " HRP021 V3.10");
    box.setLinePacing(paced);
    box.Open();
    WriterLink writer(st.link, st.image, box, realClock());
    const int n = st.device.programByteCount;
    const int step = pairs ? 2 : 1;
    int64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        box.insertChip(false, 1);
        GetHeader(st, kAreaProgram, kKindProgram);
        if (writer.SendHeader(10) != lrReady) state.SkipWithError("header refused");
        GetRomData(st);
        state.ResumeTiming();
        const auto t = st.image.transferArea();
        uint8_t answer = 0;
        for (int p = 0; p < n; p += step) {
            writer.PacedSend(t[p], writer.clockTicks());
            if (pairs) writer.WriteByte(t[p + 1]);
            if (writer.WaitForByte(writer.clockTicks()) != WriterLink::WaitResult::Ok ||
                !writer.ReadByte(answer)) {
                state.SkipWithError("no answer");
                break;
            }
            if (answer != wb::kReady) break;
        }
        if (answer != wb::kProgramDone) state.SkipWithError("stream did not end with 0xB0");
        bytes += n;
    }
    state.SetItemsProcessed(bytes);
    state.counters["ns_per_byte"] = benchmark::Counter(
        static_cast<double>(bytes), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_HandshakePerByte(benchmark::State& state) {
    handshakeRoundTrip(state, false, false);
}
void BM_HandshakePerPair(benchmark::State& state) {
    handshakeRoundTrip(state, true, false);
}
void BM_HandshakePerByteAtLineRate(benchmark::State& state) {
    handshakeRoundTrip(state, false, true);
}
BENCHMARK(BM_HandshakePerByte)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HandshakePerPair)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HandshakePerByteAtLineRate)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
