// Bad usage: status 2, a line on stderr that says what is wrong, and no command runs.
#include <gtest/gtest.h>

#include "support/TestFiles.h"

namespace qzr::test {
namespace {

// A configuration for QZR-D10 with a program.
std::string writeD10Config(const TempDir& dir) {
    std::vector<uint8_t> program;
    for (unsigned n = 0; n < 1024; ++n) {
        program.push_back(static_cast<uint8_t>(n & 0xFF));
        program.push_back(0x20);
    }
    writeFile(dir.file("prog.bin"), program);
    const std::string cfg = dir.file("d10.cfg");
    EXPECT_EQ(runCli({"-d", "QZR-D10", "-l", dir.file("prog.bin"), "save-config", cfg}).status, 0);
    return cfg;
}

TEST(CliUsage, EveryUsageErrorRunsNothing) {
    TempDir dir;
    const std::string cfg = writeD10Config(dir);
    struct Case {
        std::vector<std::string> args;
        std::string says;  // a part of the line on stderr
    };
    const Case cases[] = {
        // -p is the port, not the part.
        {{"-p", "QZR-D10", "info"}, "-p QZR-D10: -p is the port; choose the device with -d"},
        {{"-d", "QZR-D10", "-p", "qzr-d01", "detect"}, "-p is the port; choose the device with -d"},
        // -d and a configuration naming another device, in either order, also through -l.
        {{"-d", "QZR-D01", "-c", cfg, "info"}, "-d QZR-D01 and -c " + cfg + " choose different devices"},
        {{"-c", cfg, "-d", "qzr-d02", "info"}, "-d QZR-D02 and -c " + cfg + " choose different devices"},
        {{"-d", "QZR-D01", "-l", cfg, "info"}, "-d QZR-D01 and -l " + cfg + " choose different devices"},
        {{"-d", "QZR-D99", "info"}, "Unknown device: QZR-D99"},
        // A gang has at most eight sockets.
        {{"-p", "virtual", "-p", "virtual", "-p", "virtual", "-p", "virtual", "-p", "virtual", "-p",
          "virtual", "-p", "virtual", "-p", "virtual", "-p", "virtual", "info"},
         "-p is given more than 8 times"},
        // Items and values the device does not have: the line names what it has.
        {{"-d", "QZR-D10", "info", "option", "Foo=1"},
         "option: QZR-D10 has no option \"Foo\"; its options: OSC Type, OST, WDT, PED, Security"},
        {{"-d", "QZR-D10", "info", "option", "OSC Type=ZZ"},
         "option: \"OSC Type\" of QZR-D10 has no value \"ZZ\"; its values: Blank, HF, XT, LF, RC"},
        {{"info", "option", "OSC Type"}, "usage: option NAME=VALUE"},
        {{"option-value", "2A", "55", "00"}, "usage: option-value"},
        {{"option-value", "2A 55 00 00 11"}, "usage: option-value"},
        {{"option-value", "80", "00", "00", "00"}, "usage: option-value"},
        {{"id", "ABCDEFGHIJKLM"}, "usage: id TEXT"},
        {{"id-hex", "01 02 03 04 05 06 07 08 09 0A 0B", "0C", "0D"}, "usage: id-hex"},
        {{"id-hex", "info"}, "usage: id-hex"},
        {{"info", "run"}, "usage: run OPERATION"},
        {{"info", "run", "info"}, "not a writer operation: info"},
        {{"info", "run", "auto", "0"}, "COUNT must be"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.status, 2) << line;
        EXPECT_EQ(r.out, "") << line;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << line << "\n" << r.err;
    }
}

TEST(CliUsage, DeviceNamesWithoutRegardToCase) {
    TempDir dir;
    const std::string cfg = writeD10Config(dir);
    CliResult r = runCli({"-d", "qzr-d10", "info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Device: QZR-D10\n", 0), 0u) << r.out;
    // The same device as the configuration's, in another case: no conflict.
    r = runCli({"-d", "Qzr-D10", "-c", cfg, "info"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("File name: " + dir.file("prog.bin") + "\n"), std::string::npos) << r.out;
    // The table's own message for the device comes as for the exact name.
    r = runCli({"-d", "qzr-d59", "devices"});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "Please add the adaptor");
}

}  // namespace
}  // namespace qzr::test
