// The production journal's cost per chip: one reservation and one outcome, each a durable transaction.
// On SQLite (write-ahead log, synchronous=FULL) the goal is at most 5 ms median per chip; on a PostgreSQL
// server, four stations (each its own connection) drawing from one lot at once, at most 10 ms median per chip
// over loopback (both on a developer's machine). The server's address comes from QZR_TEST_PG_URL
// (scripts/pg-test-server.sh start DIR prints one); without it that benchmark is skipped.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/journal/ProductionJournal.h"

namespace {

// Chip after chip of one lot, each reserved and then recorded passed, as `station`.
void programChips(benchmark::State& state, qzr::ProductionJournal& journal, const std::string& station) {
    qzr::SerialNumberState serial;
    serial.wordCount = 4;
    const qzr::Lot lot = qzr::serialLot("QZR-D12", serial);
    qzr::ChipRecord chip;
    chip.station = station;
    chip.process = qzr::currentProcess();
    chip.port = "virtual";
    uint64_t next = 0x100;
    for (auto _ : state) {
        if (!journal.reserve(&lot, {next, false, false}, chip).empty() ||
            !journal.finish(chip.id, qzr::ChipOutcome::Pass, "", 800, "1").empty()) {
            state.SkipWithError("the journal refused a chip");
            break;
        }
        next = qzr::nextInLot(lot, *chip.number);
    }
}

// Opens the journal at `location` and programs chips into it; a journal that does not open skips.
void benchmarkJournal(benchmark::State& state, const std::string& location, const std::string& station) {
    std::string error;
    auto journal = qzr::openProductionJournal(location, error);
    if (!journal) {
        state.SkipWithError(error.c_str());
        return;
    }
    programChips(state, *journal, station);
}

void BM_JournalReserveAndOutcomePerChip(benchmark::State& state) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("qzr-bench-journal-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    benchmarkJournal(state, (dir / qzr::kJournalFileName).string(), "bench");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_JournalReserveAndOutcomePerChip)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PgJournalReserveAndOutcomePerChip(benchmark::State& state) {
    const char* url = std::getenv("QZR_TEST_PG_URL");
    if (!url || !*url) {
        state.SkipWithError("QZR_TEST_PG_URL is not set");
        return;
    }
    benchmarkJournal(state, url, "bench-" + std::to_string(state.thread_index()));
}
BENCHMARK(BM_PgJournalReserveAndOutcomePerChip)
    ->Threads(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
