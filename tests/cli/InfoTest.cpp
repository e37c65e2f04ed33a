#include <gtest/gtest.h>

#include "support/TestFiles.h"

namespace qzr {
namespace {

TEST(CliInfo, BlankProjectOnAOneWordDevice) {
    const test::CliResult r = test::runCli({"-d", "QZR-D10", "info"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    // 1024 blank words of 0x13E each sum to 0x4F800: the 16-bit checksum is F800.
    const std::string expected =
        "Device: QZR-D10\n"
        "File name: \n"
        "Memory: F800\n"
        "w/OPTIONs: F92E\n"
        "After Protect: F800\n"
        "Option value: 7F 5F 00 00\n"
        "OSC Type: Blank\n"
        "OST: Blank\n"
        "WDT: Blank\n"
        "PED: Blank\n"
        "Security: Disable\n"
        "ID: 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F\n"
        "Checksum in IC: 7F 7F 7F 7F\n";
    EXPECT_EQ(r.out.substr(0, expected.size()), expected);
}

TEST(CliInfo, StartUpDeviceAndEepromCaption) {
    // Without -d the first device of the table, which has a data EEPROM.
    const test::CliResult r = test::runCli({"info"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Device: QZR-D01\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nMemory: F000\nw/OPTIONs+EE: F12E\n"), std::string::npos) << r.out;
}

TEST(CliInfo, ElevenBitCoreAndSecondOptionWord) {
    test::CliResult r = test::runCli({"-d", "QZR-D59", "info"});
    EXPECT_NE(r.out.find("\nMemory: 0C00\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nID: 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F\nChecksum in IC: 7F 0F\x20"
                         "7F 0F\n"),
              std::string::npos)
        << r.out;

    r = test::runCli({"-d", "QZR-D19", "info"});
    EXPECT_NE(r.out.find("\nOption value: 7F 5F 6F 7F\nOSC Type: Blank\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nRTCC/PA4: Blank\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace qzr
