// Gang programming of the largest device (QZR-D52) on in-process virtual writers that answer at the line rate
// (115200 bit/s), with serial numbers and the production journal as on a line. The wire sets the pace: a
// round of four sockets should take at most 1.10 times a round of one (round_ratio), and the whole process
// should use under 10 % of a core per socket while the writers work (cpu_pct_per_socket).
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/DeviceCommands.h"
#include "app/GangRun.h"
#include "app/MainState.h"
#include "app/OperationCommands.h"
#include "core/common/UserInterface.h"
#include "core/journal/Lot.h"
#include "core/journal/ProductionJournal.h"
#include "core/operations/OperationView.h"
#include "core/options/Options.h"
#include "core/writer/VirtualWriter.h"

namespace {

double processCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A project on QZR-D52 with a two-byte serial number in RTWI words at 0x0010, recorded in a journal in `dir`.
void prepareProject(qzr::MainState& st, const std::filesystem::path& dir) {
    qzr::selectDevice(st, "QZR-D52");
    for (std::size_t w = 0; w < static_cast<std::size_t>(st.device.programWordCount()); ++w)
        st.image.setProgramWord(w, qzr::splitWord(0x2000 + (w * 7 & 0x7FF)));
    st.image.setProgramWord(0x10, qzr::splitWord(0x3100));
    st.image.setProgramWord(0x11, qzr::splitWord(0x3100));
    st.optionBytes = {0x03, 0x7F, 0x7F, 0x7F};
    qzr::CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.options.optionStatus = {};
    st.operation.operationType = qzr::OperationType::AutoProgram;
    st.serial.startAddress = 0x10;
    st.serial.wordCount = 2;
    st.serial.serialMode = true;
    qzr::setSerialValue(st.serial, 0x0100);
    st.journal.enabled = true;
    st.journal.path = (dir / qzr::kJournalFileName).string();
}

// A gang of `sockets` paced virtual writers, each given a fresh chip for every round.
struct Gang {
    Gang(qzr::MainState& project, int sockets) : views(static_cast<std::size_t>(sockets)) {
        std::vector<qzr::GangRun::Socket> list;
        for (qzr::ProgressDialogModel& v : views) list.push_back({"virtual:new-chip", &v, &ui});
        run = std::make_unique<qzr::GangRun>(project, list);
        ok = run->openPorts().empty();
        for (int k = 1; ok && k <= sockets; ++k)
            dynamic_cast<qzr::VirtualWriter&>(*run->link(k).Comm1).setLinePacing(true);
    }
    // One round; false when a socket did not pass.
    bool round() {
        if (!run->startRound()) return false;
        const qzr::GangRound r = run->finishRound();
        for (const qzr::GangChip& c : r.chips)
            if (!c.passed()) return false;
        return true;
    }
    std::vector<qzr::ProgressDialogModel> views;
    qzr::SilentUserInterface ui;
    std::unique_ptr<qzr::GangRun> run;
    bool ok = false;
};

// Every iteration: a round on one socket, then a round on four.
void BM_GangFourSocketsAgainstOne(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qzr-bench-gang-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        qzr::MainState project;
        prepareProject(project, dir);
        if (!qzr::dispatchOperation(project, qzr::OperationType::AutoProgram)) {
            state.SkipWithError("the project is not ready to program");
            return;
        }
        Gang one(project, 1);
        Gang four(project, 4);
        if (!one.ok || !four.ok) state.SkipWithError("a virtual port did not open");
        double oneSeconds = 0, fourSeconds = 0, fourCpu = 0;
        for (auto _ : state) {
            auto start = std::chrono::steady_clock::now();
            if (!one.round()) state.SkipWithError("a chip of the single socket failed");
            oneSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double cpu = processCpuSeconds();
            start = std::chrono::steady_clock::now();
            if (!four.round()) state.SkipWithError("a chip of the gang failed");
            fourSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            fourCpu += processCpuSeconds() - cpu;
        }
        const auto n = static_cast<double>(state.iterations());
        state.counters["one_socket_ms"] = oneSeconds * 1e3 / n;
        state.counters["four_sockets_ms"] = fourSeconds * 1e3 / n;
        state.counters["round_ratio"] = fourSeconds / oneSeconds;
        state.counters["cpu_pct_per_socket"] = fourCpu / fourSeconds / 4.0 * 100.0;
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_GangFourSocketsAgainstOne)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
