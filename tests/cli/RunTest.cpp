// `run`: chip after chip over the emulated writer, fed from standard input.
#include <gtest/gtest.h>

#include <regex>

#include "cli/CliInput.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// A program for QZR-D10 with an RTWI word at 0x0010 for a one-byte serial number, and a configuration for it
// with every option set and an ID.
std::string writeProject(const TempDir& dir) {
    std::vector<uint8_t> bytes;
    for (unsigned n = 0; n < 1024; ++n) {
        const unsigned w = n == 0x10 ? 0x3100 : 0x2000 + (n * 5) % 0x1000;
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    writeFile(dir.file("prog.bin"), bytes);
    const std::string cfg = dir.file("proj.cfg");
    const CliResult r = runCli({"-d", "QZR-D10", "-l", dir.file("prog.bin"), "option-value", "2A 55 00 00",
                                "id", "QZ", "save-config", cfg});
    EXPECT_EQ(r.status, 0) << r.err;
    return cfg;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (std::size_t eol; (eol = text.find('\n', pos)) != std::string::npos; pos = eol + 1)
        out.push_back(text.substr(pos, eol - pos));
    return out;
}

// The lines that start with "Chip " or "Chips:" (the progress lines left out).
std::vector<std::string> verdicts(const std::string& out) {
    std::vector<std::string> v;
    for (const std::string& l : lines(out))
        if (l.rfind("Chip", 0) == 0)
            v.push_back(std::regex_replace(l, std::regex("\\([0-9]+\\.[0-9]{2} s\\)"), "(T)"));
    return v;
}

TEST(CliRun, FiveChipsFedFromTheInputCarryTheSerialNumberAndThePassCount) {
    TempDir dir;
    const std::string log = dir.file("run.csv");
    const std::string cfg = writeProject(dir);
    const CliResult r =
        runCliWithInput({"-y", "-c", cfg, "-p", "virtual:new-chip", "--log", log, "serial", "0010", "1", "05",
                         "1", "seq", "msb", "program", "run", "auto", "info"},
                        "\n\n\n\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> expected{
        "Chip 1: PASS Serial No. 05 (T)", "Chip 2: PASS Serial No. 06 (T)", "Chip 3: PASS Serial No. 07 (T)",
        "Chip 4: PASS Serial No. 08 (T)", "Chip 5: PASS Serial No. 09 (T)", "Chips: 5, passed: 5, failed: 0"};
    EXPECT_EQ(verdicts(r.out), expected) << r.out;
    // The state carried on as in the window; the log has one line per chip.
    EXPECT_NE(r.out.find("\nSerial No.: Enable 0A\nPass count: 5\n"), std::string::npos) << r.out;
    // The same start value again: the journal beside the project holds 05..09, the next chip gets 0A and
    // its verdict says so.
    const CliResult again = runCliWithInput({"-y", "-c", cfg, "-p", "virtual:new-chip", "serial", "0010", "1",
                                             "05", "1", "seq", "msb", "program", "run", "auto", "1"},
                                            "\n");
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(verdicts(again.out),
              (std::vector<std::string>{"Chip 1: PASS Serial No. 0A (T)", "Chips: 1, passed: 1, failed: 0"}))
        << again.out;
    const std::vector<std::string> rows = lines(readFile(log));
    ASSERT_EQ(rows.size(), 6u);
    for (int n = 1; n <= 5; ++n) {
        EXPECT_NE(rows[static_cast<std::size_t>(n)].find(",0" + std::to_string(4 + n) + ",,pass,,"),
                  std::string::npos)
            << rows[static_cast<std::size_t>(n)];
    }
}

TEST(CliRun, TheCountTheLetterQAndTheEndOfTheInputEndTheRun) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    struct Case {
        std::vector<std::string> run;
        std::string input;
        const char* summary;
    };
    const Case cases[] = {
        {{"run", "auto", "2"}, "\n\n\n\n", "Chips: 2, passed: 2, failed: 0"},
        {{"run", "verify"}, "\nq\n\n", "Chips: 1, passed: 0, failed: 1"},
        {{"run", "auto"}, "go\r\n  q  \n", "Chips: 1, passed: 1, failed: 0"},
        {{"run", "auto"}, "", "Chips: 0, passed: 0, failed: 0"},
        {{"run", "auto", "3"}, "\n", "Chips: 1, passed: 1, failed: 0"},
        {{"run", "auto"}, "\n\nlast line without its end", "Chips: 3, passed: 3, failed: 0"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"-y", "-c", cfg, "-p", "virtual:new-chip"};
        args.insert(args.end(), c.run.begin(), c.run.end());
        const CliResult r = runCliWithInput(args, c.input);
        const std::vector<std::string> v = verdicts(r.out);
        ASSERT_FALSE(v.empty()) << c.summary;
        EXPECT_EQ(v.back(), c.summary) << r.out;
        EXPECT_EQ(r.status, std::string(c.summary).ends_with("failed: 0") ? 0 : 1) << c.summary;
    }
}

TEST(CliRun, ALineFaultStopsTheRunWithStatus3) {
    TempDir dir;
    const std::string cfg = writeProject(dir);
    struct Case {
        std::vector<std::string> options;
        const char* err;
    };
    const Case cases[] = {
        {{"-p", "/nonexistent/port"}, ""},
        {{"-p", "virtual:new-chip", "--log", dir.file("gone/run.csv")}, "Cannot write the production log"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"-y", "-c", cfg};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.insert(args.end(), {"run", "auto"});
        const CliResult r = runCliWithInput(args, "\n\n\n");
        EXPECT_EQ(r.status, 3) << r.out << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.ends_with("Chips: 0, passed: 0, failed: 0\n") ||
                    r.out.ends_with("Chips: 1, passed: 0, failed: 1\n"))
            << r.out;
        // A single operation keeps status 1 for the same fault.
        args.erase(args.end() - 2);
        EXPECT_EQ(runCli(args).status, 1);
    }
}

TEST(CliRun, AUsedUpQtpListEndsTheRunNormally) {
    TempDir dir;
    const std::string qtp = dir.file("parts.txt");
    const CliResult r = runCliWithInput({"-y",
                                         "-c",
                                         writeProject(dir),
                                         "-p",
                                         "virtual:new-chip",
                                         "serial",
                                         "0010",
                                         "1",
                                         "21",
                                         "1",
                                         "seq",
                                         "msb",
                                         "program",
                                         "write-qtp",
                                         qtp,
                                         "2",
                                         "load-qtp",
                                         qtp,
                                         "run",
                                         "auto"},
                                        "\n\n\n\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> expected{
        "Chip 1: PASS Serial No. 21 (T)", "Chip 2: PASS Serial No. 22 (T)", "Chips: 2, passed: 2, failed: 0"};
    EXPECT_EQ(verdicts(r.out), expected) << r.out;
    EXPECT_NE(r.out.find("QTP programming finished!\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace qzr::test
