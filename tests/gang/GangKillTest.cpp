// A gang killed (SIGKILL) in the middle of a round: only the numbers of the chips in flight are voided; the
// chips that had ended keep their outcomes, and the next run goes on after every number held.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <map>
#include <set>

#include "cli/Cli.h"
#include "core/journal/ProductionJournal.h"
#include "support/JournalProject.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

std::size_t occurrences(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t p = text.find(word); p != std::string::npos; p = text.find(word, p + 1)) ++n;
    return n;
}

// Runs the program in a child process and kills it with SIGKILL once its output holds `word` `times`
// times. true when it was killed so.
bool runAndKill(const std::vector<std::string>& args, const std::string& word, std::size_t times) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    std::cout.flush();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        ::dup2(fds[1], 1);
        ::dup2(fds[1], 2);
        const int rc = cli::run(args, std::cout, std::cerr);
        std::cout.flush();
        ::_exit(rc);
    }
    ::close(fds[1]);
    std::string output;
    bool killed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!killed && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 1000) <= 0) continue;
        char buffer[512];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
        if (occurrences(output, word) >= times) {
            ::kill(child, SIGKILL);
            killed = true;
        }
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return killed && WIFSIGNALED(status);
}

TEST(GangKill, OnlyTheChipsInFlightAreVoided) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    std::vector<std::string> args{"-y", "-c", cfg};
    for (int k = 0; k < 4; ++k) args.insert(args.end(), {"-p", "virtual:new-chip"});
    args.insert(args.end(), {"serial", "10", "2", "0100"});
    std::vector<std::string> twoRounds = args;
    twoRounds.insert(twoRounds.end(), {"auto", "auto"});
    // Round 1 has programmed four chips; two sockets of round 2 are in their data stream.
    ASSERT_TRUE(runAndKill(twoRounds, "Program data...", 6));

    // The next run voids the reservations of the killed program and goes on after every number it held.
    std::vector<std::string> again = args;
    again.push_back("auto");
    const CliResult r = runCli(again);
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    std::string error;
    auto journal = openProductionJournal(dir.file("qzr-journal.db"), error);
    ASSERT_TRUE(journal) << error;
    std::vector<ChipRecord> chips;
    ASSERT_EQ(journal->chips(chips), "");
    std::map<uint64_t, int> uses;
    int interrupted = 0;
    for (std::size_t i = 0; i < chips.size(); ++i) {
        const ChipRecord& c = chips[i];
        ASSERT_NE(c.outcome, ChipOutcome::Reserved) << "chip " << i;
        ASSERT_TRUE(c.number);
        ++uses[*c.number];
        if (c.outcome == ChipOutcome::Interrupted) ++interrupted;
        if (i < 4) {
            EXPECT_EQ(c.outcome, ChipOutcome::Pass) << "round 1, socket " << i + 1;
        }
    }
    EXPECT_EQ(chips.size(), 12u);
    EXPECT_GE(interrupted, 1);
    EXPECT_LE(interrupted, 4) << "only the chips of the round in flight";
    for (const auto& [number, count] : uses) EXPECT_EQ(count, 1) << "number " << number;
    for (std::size_t i = 8; i < chips.size(); ++i) {
        EXPECT_EQ(chips[i].outcome, ChipOutcome::Pass);
    }
}

}  // namespace
}  // namespace qzr::test
