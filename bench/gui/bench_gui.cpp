// The desktop program's start and its largest grid, headless: from nothing to a shown main window that
// answers its event loop (splash painted, configuration read, views built), with a writer that answers (the
// virtual writer) and with one that never answers; and building and painting the program memory view of the
// largest device. The writer check runs behind the shown window, so a silent writer costs the start nothing;
// the writer commands wait for the check (its own length is the counter "check_ms"). The splash window's
// fixed 600 ms hold comes on top of the first figures; the goals are 0.8 s in all and 50 ms for the grid.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/writer/VirtualWriter.h"
#include "gui/common/LogoForm.h"
#include "gui/image/BufferViews.h"
#include "gui/main/MainForm.h"

namespace {

// Runs the event loop until a call posted now has run: the window has painted and answers.
void untilAnswered() {
    bool answered = false;
    QTimer::singleShot(0, [&answered] { answered = true; });
    while (!answered) QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// state.range(0): 0 the virtual writer, 1 a writer that never answers.
void startToUsableWindow(benchmark::State& state) {
    const bool silent = state.range(0) != 0;
    const auto dir = std::filesystem::temp_directory_path() / "qzr-bench-start";
    std::filesystem::create_directories(dir);
    qzr::SilentUserInterface ui;
    double checkMs = 0;
    for (auto _ : state) {
        qzr::gui::TLogoForm splash;
        splash.show();
        QApplication::processEvents();
        qzr::gui::TMainForm form(nullptr, dir.string(), &ui);
        if (silent) {
            form.state().link.portFactory = [](const std::string&) {
                auto box = std::make_shared<qzr::VirtualWriter>();
                qzr::VirtualWriter::Faults faults;
                faults.silenceAfter = 0;
                box->setFaults(faults);
                return box;
            };
        }
        QElapsedTimer check;
        check.start();
        splash.close();
        form.show();
        untilAnswered();
        state.PauseTiming();
        if (!silent) {
            while (form.writerBusy())
                QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
            checkMs += static_cast<double>(check.elapsed());
        }
        form.close();  // a check still waiting for the silent writer is stopped
        state.ResumeTiming();
    }
    if (!silent)
        state.counters["check_ms"] = benchmark::Counter(checkMs / static_cast<double>(state.iterations()));
    std::filesystem::remove_all(dir);
}
BENCHMARK(startToUsableWindow)
    ->ArgName("silentWriter")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void largestProgramGrid(benchmark::State& state) {
    qzr::MainState st;
    qzr::selectDevice(st, "QZR-D52");  // 6,144 words, the largest program memory of the table
    for (auto _ : state) {
        qzr::gui::TMDIChild view(st);
        view.resize(400, 319);
        view.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(view.findChild<QTableView*>("StringGrid1"));
    }
}
BENCHMARK(largestProgramGrid)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QZR_COM1", "virtual", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
