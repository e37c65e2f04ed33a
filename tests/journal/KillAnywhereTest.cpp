// The command-line program killed at any point of chip-after-chip runs and started again: no number is on two
// chips that passed, no interrupted number is used again, and every reservation ends pass, fail or
// interrupted; the chips read back from the emulated writer agree. The runs are killed by SIGKILL once their
// output has reached a random length, so the kill lands anywhere between two lines: in a step, between the
// verify and the records, inside a transaction.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "cli/Cli.h"
#include "core/common/HexText.h"
#include "core/journal/ProductionJournal.h"
#include "support/JournalProject.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

using test::runCli;
using test::TempDir;

struct ChildRun {
    bool killed = false;
    int status = -1;
    std::size_t outputBytes = 0;
};

// Runs the program in a child process; kills it with SIGKILL once it has printed `killAfter` bytes.
ChildRun runChild(const std::vector<std::string>& args, std::size_t killAfter) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    std::cout.flush();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        const int rc = cli::run(args, std::cout, std::cerr);
        std::cout.flush();
        std::cerr.flush();
        ::_exit(rc);
    }
    ::close(pipeFds[1]);
    ChildRun run;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char buffer[512];
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            ::kill(child, SIGKILL);
            ADD_FAILURE() << "a run did not end in time";
            break;
        }
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        run.outputBytes += static_cast<std::size_t>(n);
        if (!run.killed && run.outputBytes >= killAfter) {
            ::kill(child, SIGKILL);
            run.killed = true;
        }
    }
    ::close(pipeFds[0]);
    int wstatus = 0;
    ::waitpid(child, &wstatus, 0);
    if (WIFEXITED(wstatus)) run.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) run.killed = true;
    return run;
}

TEST(KillAnywhere, NoNumberTwiceWhereverTheProgramIsKilled) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    const std::string db = dir.file("qzr-journal.db");
    const std::string log = dir.file("prod.csv");
    const std::string qtp = dir.file("list.txt");
    ASSERT_EQ(runCli({"-c", cfg, "serial", "10", "2", "0200", "write-qtp", qtp, "400"}).status, 0);

    const std::vector<std::vector<std::string>> numbering = {
        {"serial", "10", "2", "0100"},
        {"serial", "10", "2", "0100", "random"},
        {"load-qtp", qtp},
    };
    std::mt19937 random(19);
    int killed = 0, finished = 0;
    constexpr int kRunsPerNumbering = 60;
    const char* const kTrays[] = {"sequential", "random", "qtp"};
    for (std::size_t mode = 0; mode < numbering.size(); ++mode) {
        const auto& setup = numbering[mode];
        // The chips taken out of the emulated writer's socket are kept for reading back.
        std::filesystem::create_directories(dir.path() / "tray" / kTrays[mode]);
        ::setenv("QZR_CHIP_TRAY", (dir.path() / "tray" / kTrays[mode]).c_str(), 1);
        std::vector<std::string> args = {"-y",    "-c", cfg,         "-p", "virtual:new-chip",
                                         "--log", log,  "--journal", db};
        args.insert(args.end(), setup.begin(), setup.end());
        args.insert(args.end(), {"auto", "auto"});
        for (int i = 0; i < kRunsPerNumbering; ++i) {
            // Two chips print about 900 bytes: most runs die somewhere, some end by themselves.
            const ChildRun r = runChild(args, std::uniform_int_distribution<std::size_t>(1, 1100)(random));
            if (r.killed)
                ++killed;
            else
                ++finished;
            if (!r.killed) {
                EXPECT_EQ(r.status, 0) << "an unkilled run failed";
            }
        }
        // One more start that is not killed finds what the last run left.
        EXPECT_EQ(runChild(args, ~std::size_t{0}).status, 0);
    }
    ::unsetenv("QZR_CHIP_TRAY");
    EXPECT_GT(killed, kRunsPerNumbering);
    EXPECT_GT(finished, 5);

    std::string error;
    auto journal = openProductionJournal(db, error);
    ASSERT_TRUE(journal) << error;
    std::vector<ChipRecord> chips;
    ASSERT_EQ(journal->chips(chips), "");
    JournalTally tally = checkNoNumberTwice(chips);
    const auto& passed = tally.passed;  // lot -> serial numbers on chips that passed
    auto& outcomes = tally.outcomes;
    EXPECT_EQ(passed.size(), 3u);

    // The chips read back: every chip whose program memory was written whole carries a number of its own,
    // and the journal has it as passed or interrupted (a chip killed after its data went in).
    int readBack = 0;
    for (std::size_t mode = 0; mode < 3; ++mode) {
        std::set<std::string> onChips;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "tray" / kTrays[mode])) {
            const std::string chip = test::readFile(entry.path().string());
            ASSERT_EQ(chip.size(), 32768u + 8u);
            auto word = [&](unsigned n) {
                return static_cast<unsigned>(static_cast<uint8_t>(chip[2 * n])) +
                       128u * static_cast<uint8_t>(chip[2 * n + 1]);
            };
            bool whole = true;
            for (unsigned n = 0; n < 1024 && whole; ++n)
                whole = n == 0x10 || n == 0x11 ? (word(n) & 0x3F00) == 0x3100
                                               : word(n) == 0x2000 + (n * 5) % 0x1000;
            if (!whole) continue;
            ++readBack;
            const std::string number = hexDigits(word(0x10) & 0xFF, 2) + hexDigits(word(0x11) & 0xFF, 2);
            EXPECT_TRUE(onChips.insert(number).second) << kTrays[mode] << ": " << number << " on two chips";
            bool known = false;
            for (const ChipRecord& c : chips)
                known = known ||
                        (c.record.serialNumber == number && c.lot.starts_with(mode == 2 ? "qtp" : "serial") &&
                         (mode != 1 || c.lot.ends_with("random")) &&
                         (c.outcome == ChipOutcome::Pass || c.outcome == ChipOutcome::Interrupted));
            EXPECT_TRUE(known) << kTrays[mode] << ": chip " << number << " is not a passed or voided number";
        }
    }
    EXPECT_GT(readBack, kRunsPerNumbering);
    EXPECT_GT(outcomes["interrupted"], 10);
    EXPECT_GT(outcomes["pass"], 3 * kRunsPerNumbering / 2);

    // The production log agrees: every chip that passed there passed in the journal (a kill between the
    // journal and the log may leave a line out, never adds one).
    std::set<std::string> journalPassed;
    for (const auto& [lot, serials] : passed)
        for (const std::string& s : serials) journalPassed.insert(lot.substr(0, 3) + s);
    std::istringstream lines(test::readFile(log));
    int loggedPasses = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(",pass,") == std::string::npos) continue;
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string x; std::getline(fields, x, ',');) f.push_back(x);
        ASSERT_GT(f.size(), 9u);
        EXPECT_TRUE(journalPassed.count((f[8].empty() ? "ser" : "qtp") + f[7]) > 0) << line;
        ++loggedPasses;
    }
    EXPECT_LE(loggedPasses, outcomes["pass"]);
}

}  // namespace
}  // namespace qzr
