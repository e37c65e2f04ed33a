// The production journal's cost per chip: one reservation and one outcome, each a durable transaction
// (write-ahead log, synchronous=FULL). The goal is at most 5 ms median per chip on a developer's machine.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/journal/ProductionJournal.h"

namespace {

void BM_JournalReserveAndOutcomePerChip(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qzr-bench-journal-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::string error;
        auto journal = qzr::openProductionJournal((dir / qzr::kJournalFileName).string(), error);
        if (!journal) {
            state.SkipWithError(error.c_str());
            return;
        }
        qzr::SerialNumberState serial;
        serial.wordCount = 4;
        const qzr::Lot lot = qzr::serialLot("QZR-D12", serial);
        qzr::ChipRecord chip;
        chip.station = "bench";
        chip.process = qzr::currentProcess();
        chip.port = "virtual";
        uint64_t next = 0x100;
        for (auto _ : state) {
            if (!journal->reserve(&lot, {next, false, false}, chip).empty() ||
                !journal->finish(chip.id, qzr::ChipOutcome::Pass, "", 800, "1").empty()) {
                state.SkipWithError("the journal refused a chip");
                break;
            }
            next = qzr::nextInLot(lot, *chip.number);
        }
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_JournalReserveAndOutcomePerChip)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
