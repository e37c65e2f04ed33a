// The production journal on a PostgreSQL server: one reservation and one outcome per chip, four stations
// (each its own connection) drawing from one lot at once. The goal is at most 10 ms median per chip over
// loopback on a developer's machine. The server's address comes from QZR_TEST_PG_URL (scripts/
// pg-test-server.sh start DIR prints one); without it the benchmark is skipped.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "core/journal/ProductionJournal.h"

namespace {

void BM_PgJournalReserveAndOutcomePerChip(benchmark::State& state) {
    const char* url = std::getenv("QZR_TEST_PG_URL");
    if (!url || !*url) {
        state.SkipWithError("QZR_TEST_PG_URL is not set");
        return;
    }
    std::string error;
    auto journal = qzr::openProductionJournal(url, error);
    if (!journal) {
        state.SkipWithError(error.c_str());
        return;
    }
    qzr::SerialNumberState serial;
    serial.wordCount = 4;
    const qzr::Lot lot = qzr::serialLot("QZR-D12", serial);
    qzr::ChipRecord chip;
    chip.station = "bench-" + std::to_string(state.thread_index());
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
BENCHMARK(BM_PgJournalReserveAndOutcomePerChip)
    ->Threads(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
