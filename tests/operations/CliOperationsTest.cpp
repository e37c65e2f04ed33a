// The command-line program's writer operations against the virtual writer.
#include <gtest/gtest.h>

#include <regex>

#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// A program for QZR-D10 (1024 words, low byte first), reset vector included.
std::string writeProgram(const TempDir& dir) {
    std::vector<uint8_t> bytes;
    for (unsigned n = 0; n < 1024; ++n) {
        const unsigned w = 0x2000 + (n * 5) % 0x1000;
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    const std::string path = dir.file("prog.bin");
    writeFile(path, bytes);
    return path;
}

// A configuration for that program on QZR-D10 with every option set (no item blank or in error) and an ID.
std::string writeProjectConfig(const TempDir& dir) {
    const std::string cfg = dir.file("proj.cfg");
    EXPECT_EQ(runCli({"-d", "QZR-D10", "-l", writeProgram(dir), "save-config", cfg}).status, 0);
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
    EXPECT_EQ(r.out, "Reset address (03FFh) is blank!!\n");
    // With -y it goes on and the pre-check refuses the blank buffer.
    r = runCli({"-y", "-d", "QZR-D10", "-p", "virtual", "auto"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Reset address (03FFh) is blank!!\nAuto-program\n");
    EXPECT_EQ(r.err, "Data memory are blank or error\n");
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
