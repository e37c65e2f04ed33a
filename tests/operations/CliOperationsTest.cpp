// The command-line program's writer operations against the virtual writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>

#include "cli/Cli.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// A program for QZR-D10 (1024 words, low byte first), reset vector included; `rtwi`: an RTWI word at 0x0010
// for a one-byte serial number.
std::string writeProgram(const TempDir& dir, bool rtwi = false) {
    std::vector<uint8_t> bytes;
    for (unsigned n = 0; n < 1024; ++n) {
        const unsigned w = rtwi && n == 0x10 ? 0x3100 : 0x2000 + (n * 5) % 0x1000;
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    const std::string path = dir.file("prog.bin");
    writeFile(path, bytes);
    return path;
}

// A configuration for that program on QZR-D10 with every option set (no item blank or in error) and an ID.
std::string writeProjectConfig(const TempDir& dir, bool rtwi = false) {
    const std::string cfg = dir.file("proj.cfg");
    EXPECT_EQ(runCli({"-d", "QZR-D10", "-l", writeProgram(dir, rtwi), "save-config", cfg}).status, 0);
    std::string text = readFile(cfg);
    const auto at = text.find("Option code: 7F 5F 00 00");
    EXPECT_NE(at, std::string::npos) << text;
    if (at == std::string::npos) return cfg;
    text.replace(at, 24, "Option code: 2A 55 00 00");
    text.replace(text.find("ID code: 7F 7F"), 14, "ID code: 51 5A");
    writeFile(cfg, text);
    return cfg;
}

TEST(CliOperations, ProgramsChipAfterCommandAndFailsTheBlankCheckOfTheProgrammedChip) {
    TempDir dir;
    const std::string prog = writeProgram(dir);
    const CliResult r = runCli({"-d", "QZR-D10", "-l", prog, "-p", "virtual", "program-id", "program",
                                "program-options", "verify", "blank-check"});
    EXPECT_EQ(r.status, 1);
    // Stored "&&" is printed as "&"; the progress addresses and empty lines are not printed.
    EXPECT_NE(r.out.find("Program ID & checksum\nProgram ID...\nVerify ID & Checksum\n"
                         "ID & checksum program and verify OK\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Verify data\nVerify ID & Checksum\nID & checksum verify OK\nVerify data ...\n"
                         "Data verify OK\nVerify Option ...\nOPTION verify OK\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Blank check\nBlank Check -> Check ID & Checksum\n"), std::string::npos) << r.out;
    // The failure line on the error stream, nothing else there.
    EXPECT_EQ(r.err, "ID or Checksum ...... Not Blank!!\n");
    EXPECT_EQ(r.out.find("ms\n"), std::string::npos);
}

TEST(CliOperations, AutoProgramOfAProjectThenASecondAutoOnTheSameChipFails) {
    TempDir dir;
    const std::string cfg = writeProjectConfig(dir);
    const CliResult r = runCli({"-y", "-c", cfg, "-p", "virtual", "--show-time", "auto", "verify", "auto"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("^Auto-program\nBlank Check -> Check ID & Checksum\nBlank Check -> Check Options\n"
                          "Blank check -> check data\nBlank check OK\\.{8}[0-9]+ ms\nProgram ID\\.\\.\\.\n"
                          "Verify ID & Checksum\nID & checksum program and verify OK\\.{7}[0-9]+ ms\n"
                          "Program data\\.\\.\\.\nData program Ok\nVerify data \\.\\.\\.\n"
                          "Data program & verify OK\\.{7}[0-9]+ ms\nProgram Option \\.\\.\\.\n"
                          "Verify Option \\.\\.\\.\nOPTION program & verify OK\\.{7}[0-9]+ ms\n"
                          "Total program time = [0-9]+ ms\nVerify data\n")))
        << r.out;
    EXPECT_NE(r.out.find("OPTION verify OK"), std::string::npos);
    // The second auto-program meets the programmed chip.
    EXPECT_TRUE(r.out.ends_with("Auto-program\nBlank Check -> Check ID & Checksum\n")) << r.out;
    EXPECT_EQ(r.err, "ID or Checksum ...... Not Blank!!\n");
}

// The rows of a CSV file as Python's csv module reads them: fields joined by "|", one row a line.
std::optional<std::string> readByPythonCsv(const std::string& path) {
    const std::string command =
        "python3 -c \"import csv,sys\nfor r in csv.reader(open(sys.argv[1], newline='', "
        "encoding='utf-8')): print('|'.join(r))\" '" +
        path + "' 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return std::nullopt;
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
    if (pclose(p) != 0) return std::nullopt;
    return out;
}

TEST(CliProductionLog, APassWithItsSerialNumberThenTheFailedBlankCheck) {
    TempDir dir;
    const std::string cfg = writeProjectConfig(dir, true);
    const std::string log = dir.file("run.csv");
    const CliResult r = runCli({"-y", "-d", "QZR-D10", "-l", cfg, "-p", "virtual", "--log", log, "serial",
                                "0010", "1", "05", "1", "seq", "msb", "program", "auto", "auto"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ID or Checksum ...... Not Blank!!\n");
    const std::optional<std::string> rows = readByPythonCsv(log);
    if (!rows) GTEST_SKIP() << "python3 is not available";
    EXPECT_TRUE(std::regex_match(
        *rows,
        std::regex(
            "Time\\|Operation\\|Device\\|Data file\\|Memory\\|w/OPTIONs\\|Option value\\|Serial No\\.\\|"
            "QTP file\\|Result\\|Failed step\\|Duration ms\\|Pass count\\|Writer\n"
            "[-0-9T:+]{25}\\|Auto-program\\|QZR-D10\\|[^|]*/prog\\.bin\\|[0-9A-F]{4}\\|[0-9A-F]{4}\\|2A 55 "
            "00 00\\|"
            "05\\|\\|pass\\|\\|[0-9]+\\|1\\|HRP021A V3\\.30\n"
            "[-0-9T:+]{25}\\|Auto-program\\|QZR-D10\\|[^|]*/prog\\.bin\\|[0-9A-F]{4}\\|[0-9A-F]{4}\\|2A 55 "
            "00 00\\|"
            "06\\|\\|fail\\|ID or Checksum \\.{6} Not Blank!!\\|[0-9]+\\|1\\|HRP021A V3\\.30\n")))
        << *rows;
}

TEST(CliProductionLog, ALogThatCannotBeWrittenEndsTheRunWithStatus1) {
    TempDir dir;
    const std::string log = dir.file("gone/run.csv");
    const CliResult r =
        runCli({"-c", writeProjectConfig(dir), "-p", "virtual", "--log", log, "program", "verify"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Program data\n");
    EXPECT_EQ(r.err, "Cannot write the production log \"" + log + "\": No such file or directory\n");
    // Another header: refused, the file unchanged.
    writeFile(dir.file("other.csv"), "Name,Serial\r\n");
    const CliResult o =
        runCli({"-c", writeProjectConfig(dir), "-p", "virtual", "--log", dir.file("other.csv"), "verify"});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find("starts with another header"), std::string::npos) << o.err;
    EXPECT_EQ(readFile(dir.file("other.csv")), "Name,Serial\r\n");
    EXPECT_EQ(runCli({"--log"}).status, 2);
}

TEST(CliHelp, HelpAndVersionExitWithStatus0) {
    CliResult r = runCli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (const char* part : {"usage: qzr-writer-cli", "--log FILE", "--version", "auto-no-blank-check",
                             "emulate", "Exit status: 0"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
    r = runCli({"-d", "QZR-D10", "--version", "info"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "qzr-writer-cli 2.77\n");
}

TEST(CliProgressBar, OnATerminalTheStreamsDrawABarThatRedrawsOnlyWhenThePercentageChanges) {
    TempDir dir;
    const std::vector<std::string> args{"-d", "QZR-D10", "-l", writeProgram(dir), "-p", "virtual", "program"};
    std::ostringstream out, err;
    EXPECT_EQ(cli::run(args, out, err, true), 0);
    // Piped, the same run prints the same lines and nothing else.
    const CliResult piped = runCli(args);
    EXPECT_EQ(out.str(), piped.out);
    EXPECT_EQ(piped.err, "");
    const std::string bar = err.str();
    // The program stream and the verify read: 0..100 % each, every percentage drawn once per stream.
    for (const char* shown : {"] 1%", "] 50%", "] 100%"}) {
        std::size_t count = 0;
        for (std::size_t at = bar.find(shown); at != std::string::npos; at = bar.find(shown, at + 1)) ++count;
        EXPECT_EQ(count, 2u) << shown;
    }
    EXPECT_NE(bar.find("\r[####################--------------------] 50%"), std::string::npos);
    // Cleared at the end: the terminal line is blank again.
    EXPECT_TRUE(bar.ends_with("\r")) << bar.substr(bar.size() - 60);
}

TEST(CliOperations, AFailureThatIsNotPaintedRedGoesToTheOutput) {
    TempDir dir;
    const CliResult r =
        runCli({"-c", writeProjectConfig(dir), "-p", "virtual", "program-options", "blank-check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("Blank Check -> Check Options\nOPTION ....... Not blank!!\n")) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST(CliOperations, ShowTimePrintsStepTimesAndTheTotal) {
    TempDir dir;
    const CliResult r =
        runCli({"-d", "QZR-D10", "-l", writeProgram(dir), "-p", "virtual", "--show-time", "program"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\nData program & verify OK\\.{7}[0-9]+ ms\n"))) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\nTotal program time = [0-9]+ ms\n"))) << r.out;
}

TEST(CliOperations, QuestionsAndRefusals) {
    TempDir dir;
    // Auto-program of a blank buffer: the reset-address question is answered Abort without -y.
    CliResult r = runCli({"-d", "QZR-D10", "-p", "virtual", "auto"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Reset address (03FFh) is blank!! -- Abort (-y answers Ignore)\n");
    // With -y it goes on and the pre-check refuses the blank buffer.
    r = runCli({"-y", "-d", "QZR-D10", "-p", "virtual", "auto"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Auto-program\n");
    EXPECT_EQ(r.err, "Reset address (03FFh) is blank!! -- Ignore (-y)\nData memory are blank or error\n");
    // Blank options stop an auto-program.
    r = runCli({"-d", "QZR-D10", "-l", writeProgram(dir), "-p", "virtual", "auto-no-blank-check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Some options are blank!\n");
    // The port is opened only by operations: a bad port fails the first operation, not the others.
    r = runCli({"-d", "QZR-D10", "-p", "/nonexistent/port", "blank-check"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Port Error!!"), std::string::npos) << r.out;
}

TEST(CliOperations, EraseAndForceWriteOnAFlashDevice) {
    const CliResult r = runCli({"-d", "QZR-D53", "-p", "virtual", "erase", "force-write"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(
                  "Erase flash memory\nErase flash memory...\nErase end\nBlank Check -> Check ID & Checksum\n"
                  "Blank Check -> Check Options\nBlank check -> check data\nBlank check OK.\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Over-write data\nProgram data...\nData program Ok\nVerify data ...\n"
                         "Data program & verify OK\n"),
              std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace qzr::test
