#include <gtest/gtest.h>

#include "support/TestFiles.h"

namespace qzr {
namespace {

using test::runCli;

std::string lineStarting(const std::string& out, const std::string& key) {
    const std::size_t at = out.find("\n" + key);
    if (at == std::string::npos) return "<missing>";
    return out.substr(at + 1, out.find('\n', at + 1) - at - 1);
}

TEST(CliSerial, InfoShowsTheSerialNumberAndPassCount) {
    test::CliResult r = runCli({"info"});
    EXPECT_EQ(lineStarting(r.out, "Serial No.:"), "Serial No.: Disable 00");
    EXPECT_EQ(lineStarting(r.out, "Pass count:"), "Pass count: 0");

    r = runCli({"-d", "QZR-D01", "serial", "20", "4", "a1b2c3", "lsb", "eeprom", "info"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(lineStarting(r.out, "Serial No.:"), "Serial No.: Enable  00A1 B2C3");

    // The corrections of the fields apply: VALUE trimmed to 2n digits, the all-F value cleared.
    r = runCli({"serial", "0", "1", "12ff", "random", "eeprom", "info"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(lineStarting(r.out, "Serial No.:"), "Serial No.: Enable 00");
}

TEST(CliSerial, RefusedSettingsAndBadUsage) {
    test::CliResult r = runCli({"serial", "0100", "1", "05", "info"});
    EXPECT_EQ(r.status, 1);
    // An error box: on the error stream.
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The program memory is not 'RTWI'. Serial No. will be disable!\n");

    r = runCli({"serial", "0", "1", "05", "256", "eeprom"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, " \"Increment\" is not a valid value!!\n");

    r = runCli({"serial", "00FF", "2", "05", "eeprom"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Serial no located beyond EEPROM memory size\n");

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"serial", "12345", "1", "05"},
                                               {"serial", "0", "9", "05"},
                                               {"serial", "0", "1", "0x5"},
                                               {"serial", "0", "1"},
                                               {"serial", "0", "1", "05", "1000"},
                                               {"write-qtp", "f"},
                                               {"write-qtp", "f", "x"},
                                               {"load-qtp"}}) {
        r = runCli(args);
        EXPECT_EQ(r.status, 2) << args[0] << ' ' << args[1];
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliSerial, WriteQtpAddsTxtAndReplacesOnlyWithYes) {
    test::TempDir dir;
    const std::string name = dir.file("parts");
    test::CliResult r =
        runCli({"serial", "10", "2", "00fe", "3", "seq", "msb", "eeprom", "write-qtp", name, "3", "info"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(test::readFile(name + ".txt"),
              ":044210000000FE00AC\r\n:0442100001000100A8\r\n:0442100001000400A5\r\n:00000001FF");
    EXPECT_EQ(lineStarting(r.out, "Serial No.:"), "Serial No.: Disable  0107");

    r = runCli({"serial", "10", "1", "07", "eeprom", "write-qtp", name, "1"});
    EXPECT_EQ(r.status, 1);
    // A question: on the error stream, with the answer taken.
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "File Exists, Replace? -- No (-y answers Yes)\n");
    EXPECT_EQ(test::readFile(name + ".txt").substr(0, 10), ":044210000");

    r = runCli({"-y", "serial", "10", "1", "07", "eeprom", "write-qtp", name, "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(test::readFile(name + ".txt"), ":024210000700A5\r\n:00000001FF");

    r = runCli({"serial", "10", "1", "07", "eeprom", "write-qtp", dir.file("x.qtp"), "100001"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\"No. of Parts\" value overflow!\n");
}

// A program for QZR-D11 (2048 words) with an RTWI table of three words at 0x0100.
std::string programWithRtwiTable(const test::TempDir& dir) {
    std::vector<uint8_t> bin;
    for (int w = 0; w < 2048; ++w) {
        const uint16_t word = (w >= 0x100 && w < 0x103) ? 0x3100 : 0x3FFF;
        bin.push_back(static_cast<uint8_t>(word & 0xFF));
        bin.push_back(static_cast<uint8_t>(word >> 8));
    }
    const std::string path = dir.file("table.bin");
    test::writeFile(path, bin);
    return path;
}

TEST(CliSerial, ProgramMemoryTargetOnALoadedProgram) {
    test::TempDir dir;
    const std::string bin = programWithRtwiTable(dir);
    const std::string qtp = dir.file("parts.qtp");
    test::CliResult r = runCli({"-d", "QZR-D11", "-l", bin, "serial", "0100", "1", "05", "1", "seq", "msb",
                                "program", "write-qtp", qtp, "3"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(test::readFile(qtp), ":020100000531C7\r\n:020100000631C6\r\n:020100000731C5\r\n:00000001FF");

    // The number goes into the RTWI words; the memory checksum follows it.
    const test::CliResult before = runCli({"-d", "QZR-D11", "-l", bin, "info"});
    r = runCli({"-d", "QZR-D11", "-l", bin, "serial", "101", "2", "a5ff", "info"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(lineStarting(r.out, "Serial No.:"), "Serial No.: Enable  A5FF");
    EXPECT_NE(lineStarting(r.out, "Memory:"), lineStarting(before.out, "Memory:"));

    // Reading the file back takes its first number and places it.
    r = runCli({"-d", "QZR-D11", "-l", bin, "load-qtp", qtp, "info"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(lineStarting(r.out, "Serial No.:"), "Serial No.: Enable 05");

    // Past the table the words are no RTWI instructions.
    r = runCli({"-d", "QZR-D11", "-l", bin, "serial", "0102", "2", "0000"});
    EXPECT_EQ(r.status, 1);
    // An error box: on the error stream.
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The program memory is not 'RTWI'. Serial No. will be disable!\n");
}

TEST(CliSerial, LoadQtp) {
    test::TempDir dir;
    test::writeFile(dir.file("q.txt"), std::string(":02421000AB0001\r\n:00000001FF"));
    test::CliResult r = runCli({"load-qtp", dir.file("q.txt"), "info"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(lineStarting(r.out, "Serial No.:"), "Serial No.: Enable AB");

    test::writeFile(dir.file("empty.txt"), std::string());
    r = runCli({"load-qtp", dir.file("empty.txt"), "info"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "File Information Error!\n");

    test::writeFile(dir.file("end.txt"), std::string(":00000001FF"));
    r = runCli({"load-qtp", dir.file("end.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace qzr
