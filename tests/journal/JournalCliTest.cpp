// The command line with the production journal: the same command twice continues the lot, the journal
// command, stale reservations voided once, a journal that cannot be used.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "core/journal/ProductionJournal.h"
#include "support/JournalProject.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

using test::CliResult;
using test::runCli;
using test::TempDir;

// The serial numbers of the lines of a CSV file with `result` (column 10), in order.
std::vector<std::string> serialsOf(const std::string& csv, const std::string& result = "pass") {
    std::vector<std::string> out;
    const std::regex line(
        "(?:^|\\n)[^,\\n]*,[^,\\n]*,[^,\\n]*,[^,\\n]*,[^,\\n]*,[^,\\n]*,[^,\\n]*,([^,\\n]*),[^,\\n]*,(" +
        result + "),");
    for (std::sregex_iterator it(csv.begin(), csv.end(), line), end; it != end; ++it) out.push_back((*it)[1]);
    return out;
}

// Lines of the program's output that are not the progress of a writer operation.
std::string messages(const CliResult& r) {
    std::string out;
    std::istringstream lines(r.out);
    for (std::string l; std::getline(lines, l);)
        if (l.find("ontinues") != std::string::npos || l.find("voided") != std::string::npos) out += l + "\n";
    return out;
}

TEST(JournalCli, TheSameCommandAgainContinuesTheLot) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    const std::string log = dir.file("prod.csv");
    const std::vector<std::string> command = {
        "-y", "-c", cfg, "-p", "virtual:new-chip", "--log", log, "serial", "10", "2", "0100", "auto", "auto"};
    CliResult r = runCli(command);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messages(r), "");
    r = runCli(command);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messages(r), "Serial No. continues at 0102: 0100-0101 are in the journal\n");
    EXPECT_EQ(serialsOf(test::readFile(log)), (std::vector<std::string>{"0100", "0101", "0102", "0103"}));
    // The journal sits beside the configuration file.
    EXPECT_TRUE(std::filesystem::exists(dir.file(kJournalFileName)));

    // Only --reuse-serial (never -y) takes the numbers again.
    std::vector<std::string> reuse = command;
    reuse.insert(reuse.begin(), "--reuse-serial");
    r = runCli(reuse);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messages(r), "");
    EXPECT_EQ(serialsOf(test::readFile(log)).back(), "0101");

    // The journal command: the log's columns, then Station, Lot and Outcome, oldest first.
    r = runCli({"-c", cfg, "--station", "line-3", "journal"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        r.out.starts_with("Time,Operation,Device,Data file,Memory,w/OPTIONs,Option value,Serial No.,QTP "
                          "file,Result,Failed step,Duration ms,Pass count,Writer,Station,Lot,Outcome\r\n"))
        << r.out;
    EXPECT_EQ(serialsOf(r.out), (std::vector<std::string>{"0100", "0101", "0102", "0103", "0100", "0101"}));
    EXPECT_NE(
        r.out.find(
            ",serial;device=QZR-D10;target=program;address=0010;bytes=2;order=msb;advance=seq+1,pass\r\n"),
        std::string::npos)
        << r.out;
}

TEST(JournalCli, AQtpListRunTwiceNeverRepeatsARecord) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    const std::string log = dir.file("prod.csv");
    ASSERT_EQ(
        runCli({"-c", cfg, "serial", "10", "4", "00000200", "write-qtp", dir.file("list.txt"), "10"}).status,
        1);  // four bytes do not fit the two RTWI words
    ASSERT_EQ(
        runCli({"-c", cfg, "serial", "10", "2", "0200", "write-qtp", dir.file("list.txt"), "10"}).status, 0);
    const std::vector<std::string> command = {
        "-y",   "-c",  cfg, "-p", "virtual:new-chip", "--log", log, "load-qtp", dir.file("list.txt"),
        "auto", "auto"};
    ASSERT_EQ(runCli(command).status, 0);
    const CliResult r = runCli(command);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messages(r), "The QTP file continues at record 3: records 1-2 are in the journal\n");
    EXPECT_EQ(serialsOf(test::readFile(log)), (std::vector<std::string>{"0200", "0201", "0202", "0203"}));
}

TEST(JournalCli, AReservationOfAStoppedProgramIsVoidedOnceAndLogged) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    const std::string log = dir.file("prod.csv");
    const std::vector<std::string> command = {
        "-y", "-c", cfg, "-p", "virtual:new-chip", "--log", log, "serial", "10", "2", "0100", "auto"};
    ASSERT_EQ(runCli(command).status, 0);
    {
        // A program that reserved 0101 and was killed before its outcome.
        std::string error;
        auto journal = openProductionJournal(dir.file(kJournalFileName), error);
        ASSERT_TRUE(journal) << error;
        SerialNumberState s;
        s.wordCount = 2;
        s.startAddress = 0x10;
        const Lot lot = serialLot("QZR-D10", s);
        ChipRecord chip;
        chip.station = "line-3";
        chip.process = currentProcess();
        const pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        ::waitpid(child, nullptr, 0);
        chip.process.pid = child;
        chip.logPath = log;
        chip.record.serialNumber = "0101";
        chip.record.result = "interrupted";
        ASSERT_EQ(journal->reserve(&lot, {0x0101, false, false}, chip), "");
    }
    CliResult r = runCli(command);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(messages(r),
              "Serial No. 0101 was being programmed when the program stopped; it is voided\n"
              "Serial No. continues at 0102: 0100-0101 are in the journal\n");
    r = runCli(command);
    EXPECT_EQ(messages(r), "Serial No. continues at 0103: 0100-0102 are in the journal\n");
    const std::string csv = test::readFile(log);
    EXPECT_EQ(serialsOf(csv), (std::vector<std::string>{"0100", "0102", "0103"}));
    EXPECT_EQ(serialsOf(csv, "interrupted"), (std::vector<std::string>{"0101"}));
}

TEST(JournalCli, AJournalThatCannotBeUsedStopsBeforeTheChip) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    const std::string log = dir.file("prod.csv");
    test::writeFile(dir.file("text.db"), std::string(200, 'x'));
    for (const std::string& journal : {dir.file("missing/j.db"), dir.file("text.db")}) {
        const CliResult r = runCli({"-y", "-c", cfg, "-p", "virtual:new-chip", "--log", log, "--journal",
                                    journal, "serial", "10", "2", "0100", "auto"});
        EXPECT_EQ(r.status, 1);
        // An error box: on the error stream.
        EXPECT_NE(r.err.find("Cannot open the production journal \"" + journal + "\""), std::string::npos)
            << r.err;
        EXPECT_EQ(r.out.find("Auto-program"), std::string::npos) << "the operation did not start";
    }
    EXPECT_FALSE(std::filesystem::exists(log));
    EXPECT_EQ(test::readFile(dir.file("text.db")), std::string(200, 'x'));
    // The journal command does not make a journal where there is none.
    const CliResult empty = runCli({"--journal", dir.file("none.db"), "journal"});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(std::count(empty.out.begin(), empty.out.end(), '\n'), 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.db")));
    // Bad usage: the options need their values.
    for (const char* option : {"--journal", "--station"})
        EXPECT_EQ(runCli({"info", option}).status, 2) << option;
}

}  // namespace
}  // namespace qzr
