// The SQLite journal: durable reservations, lots that continue, stale reservations, refused files.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <thread>

#include "core/journal/SqliteJournal.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

using test::TempDir;

Lot lot2() {
    SerialNumberState s;
    s.wordCount = 2;
    return serialLot("QZR-D12", s);
}

ChipRecord chipOf(const std::string& station, const ProcessIdentity& p) {
    ChipRecord c;
    c.station = station;
    c.process = p;
    c.port = "virtual";
    c.record.device = "QZR-D12";
    c.record.operation = "Auto Program";
    return c;
}

std::unique_ptr<ProductionJournal> openOk(const std::string& path) {
    std::string error;
    auto j = openProductionJournal(path, error);
    EXPECT_TRUE(j) << error;
    EXPECT_EQ(error, "");
    return j;
}

// Reserves the candidate's chip and records its outcome; the number taken.
uint64_t program(ProductionJournal& j, const Lot& lot, uint64_t candidate, ChipOutcome outcome,
                 bool voidFailed = false, bool reuse = false) {
    ChipRecord c = chipOf("A", currentProcess());
    EXPECT_EQ(j.reserve(&lot, {candidate, voidFailed, reuse}, c), "");
    if (outcome != ChipOutcome::Reserved) {
        const std::string step = outcome == ChipOutcome::Fail ? "Data verify error at 0000H" : "";
        EXPECT_EQ(j.finish(c.id, outcome, step, 12, "1"), "");
    }
    return c.number.value_or(~0ull);
}

// The id of a process that has ended.
ProcessIdentity endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ProcessIdentity p = currentProcess();
    p.pid = child;
    p.startTime = 0;
    ::waitpid(child, nullptr, 0);
    return p;
}

TEST(SqliteJournal, NumbersContinueAfterTheJournalIsOpenedAgain) {
    TempDir dir;
    const Lot lot = lot2();
    {
        auto j = openOk(dir.file("j.db"));
        EXPECT_EQ(program(*j, lot, 0x0100, ChipOutcome::Pass), 0x0100u);
        EXPECT_EQ(program(*j, lot, 0x0101, ChipOutcome::Pass), 0x0101u);
        EXPECT_EQ(program(*j, lot, 0x0102, ChipOutcome::Fail), 0x0102u);
        EXPECT_EQ(program(*j, lot, 0x0102, ChipOutcome::Pass), 0x0102u)
            << "a failed chip's number is used again";
    }
    auto j = openOk(dir.file("j.db"));
    // The project starts again at its start value: it continues the lot.
    NumberChoice preview;
    std::optional<uint64_t> last;
    EXPECT_EQ(j->preview(lot, {0x0100, false, false}, preview, last), "");
    EXPECT_EQ(preview.number, 0x0103u);
    EXPECT_TRUE(preview.moved);
    EXPECT_EQ(last, 0x0102u);
    EXPECT_EQ(program(*j, lot, 0x0100, ChipOutcome::Pass), 0x0103u);
    // Only the user's choice uses a held number again.
    EXPECT_EQ(program(*j, lot, 0x0100, ChipOutcome::Pass, false, true), 0x0100u);
    // Another lot of the same journal starts where it is told.
    SerialNumberState other;
    other.wordCount = 2;
    other.startAddress = 0x20;
    EXPECT_EQ(program(*j, serialLot("QZR-D12", other), 0x0100, ChipOutcome::Pass), 0x0100u);

    LotCounts counts;
    EXPECT_EQ(j->counts(lot.key, counts), "");
    EXPECT_EQ(counts, (LotCounts{5, 1, 0, {{"A", 5, 1, 0}}}));
    std::vector<ChipRecord> all;
    EXPECT_EQ(j->chips(all), "");
    ASSERT_EQ(all.size(), 7u);
    EXPECT_LT(all[0].id, all[1].id);
    EXPECT_EQ(all[2].outcome, ChipOutcome::Fail);
    EXPECT_EQ(all[2].record.failure, "Data verify error at 0000H");
    EXPECT_EQ(all[2].record.result, "fail");
    EXPECT_EQ(all[0].record.device, "QZR-D12");
    EXPECT_EQ(all[0].lot, lot.key);
}

TEST(SqliteJournal, VoidedFailuresAndReservationsAreNeverTakenAgain) {
    TempDir dir;
    auto j = openOk(dir.file("j.db"));
    const Lot lot = lot2();
    EXPECT_EQ(program(*j, lot, 5, ChipOutcome::Fail), 5u);
    EXPECT_EQ(program(*j, lot, 5, ChipOutcome::Fail), 5u) << "a failed number is taken again";
    EXPECT_EQ(program(*j, lot, 5, ChipOutcome::Pass, true), 6u) << "unless failed numbers are voided";
    EXPECT_EQ(program(*j, lot, 7, ChipOutcome::Reserved), 7u);
    EXPECT_EQ(program(*j, lot, 7, ChipOutcome::Pass), 8u) << "a reservation still open holds its number";
}

TEST(SqliteJournal, ChipWithoutNumberIsRecordedOutsideEveryLot) {
    TempDir dir;
    auto j = openOk(dir.file("j.db"));
    ChipRecord c = chipOf("A", currentProcess());
    EXPECT_EQ(j->reserve(nullptr, {}, c), "");
    EXPECT_FALSE(c.number);
    EXPECT_EQ(j->finish(c.id, ChipOutcome::Pass, "", 3, "7"), "");
    std::vector<ChipRecord> all;
    j->chips(all);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].lot, "");
    EXPECT_EQ(all[0].record.passCount, "7");
    EXPECT_EQ(all[0].record.durationMs, 3);
    EXPECT_NE(j->finish(999, ChipOutcome::Pass, "", 0, ""), "");
}

TEST(SqliteJournal, StaleReservationsBecomeInterruptedLiveOnesStay) {
    TempDir dir;
    auto j = openOk(dir.file("j.db"));
    const Lot lot = lot2();
    const ProcessIdentity me = currentProcess();
    ProcessIdentity otherHost = me;
    otherHost.host += "-elsewhere";
    struct Owner {
        std::string station;
        ProcessIdentity process;
        bool voided;
    };
    const Owner owners[] = {
        {"A", endedProcess(), true},                    // this host, gone
        {"B", endedProcess(), true}, {"A", me, false},  // this very process
        {"A", otherHost, true},                         // this station on another host: it started again here
        {"B", otherHost, false},                        // another station elsewhere: nobody can tell
    };
    std::vector<long long> ids;
    for (const Owner& o : owners) {
        ChipRecord c = chipOf(o.station, o.process);
        ASSERT_EQ(j->reserve(&lot, {0}, c), "");
        ids.push_back(c.id);
    }
    std::vector<ChipRecord> voided;
    EXPECT_EQ(j->recoverStale("A", me, voided), "");
    std::set<long long> voidedIds;
    for (const ChipRecord& c : voided) {
        voidedIds.insert(c.id);
        EXPECT_EQ(c.outcome, ChipOutcome::Interrupted);
        EXPECT_EQ(c.record.result, "interrupted");
    }
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(voidedIds.count(ids[i]) > 0, owners[i].voided) << i;
    // Once voided, told once: a second recovery finds nothing.
    EXPECT_EQ(j->recoverStale("A", me, voided), "");
    EXPECT_TRUE(voided.empty());
    LotCounts counts;
    j->counts(lot.key, counts);
    EXPECT_EQ(counts.interrupted, 3);
    // An interrupted number is never used again.
    EXPECT_EQ(program(*j, lot, 0, ChipOutcome::Pass), 5u);
}

TEST(SqliteJournal, TwoConnectionsNeverTakeOneNumber) {
    TempDir dir;
    const std::string path = dir.file("j.db");
    auto a = openOk(path);
    auto b = openOk(path);
    const Lot lot = lot2();
    std::vector<uint64_t> takenA, takenB;
    auto station = [&](ProductionJournal& j, std::vector<uint64_t>& taken) {
        uint64_t next = 0x0100;
        for (int i = 0; i < 40; ++i) {
            ChipRecord c = chipOf("A", currentProcess());
            ASSERT_EQ(j.reserve(&lot, {next, false, false}, c), "");
            taken.push_back(*c.number);
            ASSERT_EQ(j.finish(c.id, ChipOutcome::Pass, "", 1, ""), "");
            next = nextInLot(lot, *c.number);
        }
    };
    std::thread ta([&] { station(*a, takenA); });
    std::thread tb([&] { station(*b, takenB); });
    ta.join();
    tb.join();
    std::set<uint64_t> all(takenA.begin(), takenA.end());
    all.insert(takenB.begin(), takenB.end());
    EXPECT_EQ(all.size(), 80u);
}

TEST(SqliteJournal, WhatIsNotAJournalIsRefusedAndLeftAlone) {
    TempDir dir;
    test::writeFile(dir.file("text.db"), "not a database at all, just some text that is long enough to read");
    {
        // Another program's database.
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dir.file("other.db").c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE parts(name TEXT)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    std::filesystem::create_directory(dir.file("folder.db"));
    std::filesystem::create_directory(dir.file("locked"));
    ::chmod(dir.file("locked").c_str(), 0555);
    const bool root = ::geteuid() == 0;
    struct Case {
        std::string path;
        std::string reason;
    };
    std::vector<Case> cases = {
        {dir.file("text.db"), "not a database"},
        {dir.file("other.db"), "not a production journal"},
        {dir.file("folder.db"), "not a file"},
        {dir.file("missing/j.db"), "unable to open"},
    };
    if (!root) cases.push_back({dir.file("locked/j.db"), "unable to open"});
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(openProductionJournal(c.path, error)) << c.path;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_NE(error.find("Cannot open the production journal"), std::string::npos) << error;
    }
    EXPECT_EQ(test::readFile(dir.file("text.db")).substr(0, 10), "not a data");
    ::chmod(dir.file("locked").c_str(), 0755);
}

}  // namespace
}  // namespace qzr
