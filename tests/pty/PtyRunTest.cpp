// `run` end to end: the program as its own process drives the emulated writer on a pseudo-terminal through
// the real serial component, the test plays the operator (swaps chips, presses Enter, presses Ctrl-C).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "CliProcess.h"
#include "cli/CliInput.h"
#include "core/writer/PtyWriter.h"
#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// A project for QZR-D10 with a program, every option set and an ID.
std::string writeProject(const TempDir& dir) {
    std::vector<uint8_t> bytes;
    for (unsigned n = 0; n < 1024; ++n) {
        const unsigned w = 0x2000 + (n * 7) % 0x1000;
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    writeFile(dir.file("prog.bin"), bytes);
    const std::string cfg = dir.file("proj.cfg");
    const CliResult r = runCli({"-d", "QZR-D10", "-l", dir.file("prog.bin"), "option-value", "2A 55 00 00",
                                "id-hex", "51 5A", "save-config", cfg});
    EXPECT_EQ(r.status, 0) << r.err;
    return cfg;
}

// The line settings of a port as stty shows them.
std::string portSettings(const std::string& path) {
    std::string text;
    if (FILE* p = popen(("stty -a -F " + path).c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, p)) text += buffer;
        pclose(p);
    }
    return text;
}

std::string withoutTimes(const std::string& text) {
    return std::regex_replace(text, std::regex("\\([0-9]+\\.[0-9]{2} s\\)"), "(T)");
}

class PtyRun : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.open(error)) << error;
        thread = std::thread([this] { server.serve(); });
        cfg = writeProject(dir);
    }
    void TearDown() override {
        server.stop();
        if (thread.joinable()) thread.join();
    }
    void freshChip() {
        server.withBox([](WriterBox& box) { box.insertChip(false, 1); });
    }

    PtyWriter server;
    std::thread thread;
    TempDir dir;
    std::string cfg;
};

TEST_F(PtyRun, FiveChipsWithTheOperatorSwappingThem) {
    CliProcess cli({"-y", "-c", cfg, "-p", server.devicePath(), "run", "auto"});
    ASSERT_TRUE(cli.started());
    std::size_t from = 0;
    for (int chip = 1; chip <= 5; ++chip) {
        // The operator forgets to swap the fourth chip: the programmed one fails the blank check.
        if (chip != 4) freshChip();
        cli.write("\n");
        const auto at = cli.waitForOutput("Chip " + std::to_string(chip) + ": ", from);
        ASSERT_TRUE(at) << cli.out << cli.err;
        from = *at + 1;
    }
    cli.write("q\n");
    EXPECT_EQ(cli.wait(), 1);
    std::string verdicts;
    for (std::size_t at = cli.out.find("Chip"); at != std::string::npos; at = cli.out.find("\nChip", at + 1))
        verdicts += cli.out.substr(at + (cli.out[at] == '\n'),
                                   cli.out.find('\n', at + 1) - at - (cli.out[at] == '\n')) +
                    "\n";
    EXPECT_EQ(withoutTimes(verdicts),
              "Chip 1: PASS (T)\nChip 2: PASS (T)\nChip 3: PASS (T)\n"
              "Chip 4: FAIL ID or Checksum ...... Not Blank!! (T)\nChip 5: PASS (T)\n"
              "Chips: 5, passed: 4, failed: 1\n");
    EXPECT_EQ(cli.err, "ID or Checksum ...... Not Blank!!\n");
}

// The writer goes silent in the data stream of the first chip: a fault of the line, no point in the next
// chip. The box is served by the program's own `emulate` with a fault word.
TEST_F(PtyRun, ASilentWriterStopsTheRunWithStatus3) {
    const std::string link = dir.file("writer");
    CliProcess box({"-d", "QZR-D10", "emulate", link, "silence-after=2400"});
    ASSERT_TRUE(box.started());
    ASSERT_TRUE(box.waitForOutput("\n")) << box.err;

    const CliResult r = runCliWithInput({"-y", "-c", cfg, "-p", link, "run", "auto"}, "\n\n\n");
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    EXPECT_TRUE(
        withoutTimes(r.out).ends_with("Chip 1: FAIL Connect Timeout!! (T)\nChips: 1, passed: 0, failed: 1\n"))
        << r.out;
    EXPECT_EQ(r.err, "Connect Timeout!!\n");

    kill(box.pid(), SIGINT);
    EXPECT_EQ(box.wait(), 0);
}

// Ctrl-C (or SIGTERM) while the second chip is programmed: the run stops at the next exchange, the chip is
// recorded as interrupted, the port's settings are restored, status 130.
TEST_F(PtyRun, AnInterruptInTheMiddleOfAChip) {
    // Settings of the port before the program opens it, other than the program's own.
    // Settings of the port before the program opens it, other than the program's own; set and read by
    // another process, as a user's earlier program would leave them.
    ASSERT_EQ(std::system(("stty -F " + server.devicePath() + " 9600 cstopb").c_str()), 0);
    const std::string before = portSettings(server.devicePath());
    ASSERT_NE(before.find("cstopb"), std::string::npos) << before;
    for (const int sig : {SIGINT, SIGTERM}) {
        // The box forgets the command that the last interrupt left unfinished (as its own time-out would).
        server.withBox([](WriterBox& box) {
            box.setFaults({});
            box.reset();
        });
        const std::string log = dir.file("run" + std::to_string(sig) + ".csv");
        const std::string journal = dir.file("journal" + std::to_string(sig) + ".db");
        CliProcess cli(
            {"-y", "-c", cfg, "-p", server.devicePath(), "--log", log, "--journal", journal, "run", "auto"});
        ASSERT_TRUE(cli.started());
        freshChip();
        cli.write("\n");
        const auto first = cli.waitForOutput("Chip 1: PASS");
        ASSERT_TRUE(first) << cli.out << cli.err;
        // The second chip: the writer stops answering in the data stream, and the operator presses Ctrl-C
        // while the program waits for it.
        server.withBox([](WriterBox& box) {
            box.insertChip(false, 1);
            WriterBox::Faults silent;
            silent.silenceAfter = 2400;
            box.setFaults(silent);
        });
        cli.write("\n");
        ASSERT_TRUE(cli.waitForOutput("Program data...", *first)) << cli.out << cli.err;
        kill(cli.pid(), sig);
        EXPECT_EQ(cli.wait(), 130) << sig << "\n" << cli.out << cli.err;
        EXPECT_TRUE(cli.out.ends_with("Chips: 1, passed: 1, failed: 0\n")) << cli.out;
        EXPECT_NE(cli.err.find("Chip 2: interrupted"), std::string::npos) << cli.err;
        EXPECT_TRUE(cli.err.ends_with("Interrupted\n")) << cli.err;
        const std::string rows = readFile(log);
        EXPECT_NE(rows.find(",pass,"), std::string::npos) << rows;
        EXPECT_NE(rows.find(",interrupted,"), std::string::npos) << rows;
        const CliResult chips = runCli({"--journal", journal, "journal"});
        EXPECT_NE(chips.out.find(",pass\r\n"), std::string::npos) << chips.out << chips.err;
        EXPECT_NE(chips.out.find(",interrupted\r\n"), std::string::npos) << chips.out;

        EXPECT_EQ(portSettings(server.devicePath()), before) << sig;
    }
}

}  // namespace
}  // namespace qzr::test
