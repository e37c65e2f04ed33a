// The command-line program's read and download, against the built-in virtual writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/image/DataSave.h"
#include "support/TestFiles.h"

namespace qzr {
namespace {

using test::runCli;

TEST(CliRead, ReadsTheVirtualChipAndSavesIt) {
    test::TempDir dir;
    const std::string file = dir.file("chip.BIN");
    const auto r = runCli({"-p", "virtual", "-d", "QZR-D01", "read", file});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Read ID and Checksum OK\nRead OPTION OK\nRead Data OK\nRead EEPROM OK\n");
    EXPECT_EQ(r.err, "");

    // The virtual writer holds a blank chip: blank words and 0xFF EEPROM bytes, saved as "save" saves them.
    MainState expected;
    ASSERT_TRUE(selectDevice(expected, "QZR-D01"));
    for (std::size_t i = 0; i < 256; ++i) expected.image.setEepromByte(i, 0xFF);
    const std::vector<uint8_t> image = buildOutputImage(expected.device, expected.image);
    EXPECT_EQ(test::readFile(file), std::string(image.begin(), image.end()));
}

TEST(CliRead, ANameOfAnotherKindIsBadUsageAndNothingRuns) {
    test::TempDir dir;
    const auto r = runCli({"-p", "virtual", "read", dir.file("chip.txt")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("chip.txt")));
    EXPECT_EQ(runCli({"-p", "virtual", "read"}).status, 2);
}

TEST(CliRead, APortThatCannotBeOpenedFailsWithoutAFile) {
    test::TempDir dir;
    const auto r = runCli({"-p", "/nonexistent/port", "read", dir.file("chip.mhx")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("Open  /nonexistent/port Port Error!!\n", 0), 0u) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir.file("chip.mhx")));
}

TEST(CliDownload, SendsTheNamedDevices) {
    const auto r = runCli({"-p", "virtual", "download", "QZR-D02,QZR-D04,QZR-D02"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(CliDownload, UnknownNamesAreBadUsage) {
    EXPECT_EQ(runCli({"-p", "virtual", "download", "QZR-D02,QZR-X"}).status, 2);
    EXPECT_EQ(runCli({"-p", "virtual", "download", "QZR-D02,"}).status, 2);
    EXPECT_EQ(runCli({"-p", "virtual", "download"}).status, 2);
}

TEST(CliDownload, ASeventeenthDeviceIsRefusedBeforeThePortIsOpened) {
    std::string names;
    for (int i = 1; i <= 17; ++i)
        names += std::string(i > 1 ? "," : "") + "QZR-D" + (i < 10 ? "0" : "") + std::to_string(i);
    const auto r = runCli({"-p", "/nonexistent/port", "download", names});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Already selected 16 devices\n");
}

}  // namespace
}  // namespace qzr
