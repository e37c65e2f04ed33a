#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ImageTestSupport.h"
#include "core/image/DataSave.h"

namespace qzr {
namespace {

using Log = std::vector<std::string>;

struct DataSave : test::ImageFixture {};

TEST_F(DataSave, EepromFollowsTheProgramAfterABlankGap) {
    device("QZR-D02");  // 1024 words, 128 EEPROM bytes
    st.image.setEepromByte(0, 0x12);
    st.image.setEepromByte(127, 0xAB);
    st.image.setProgramWord(1023, splitWord(0x0123));

    const auto image = buildOutputImage(st.device, st.image);
    ASSERT_EQ(image.size(), 33536u);
    EXPECT_EQ(image[2046], 0x23);
    EXPECT_EQ(image[2047], 0x01);
    EXPECT_TRUE(
        std::all_of(image.begin() + 2048, image.begin() + 0x8200, [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(image[0x8200 + 254], 0xAB);
    EXPECT_EQ(image[0x8200 + 255], 0x00);

    const std::string hex = buildHexText(image);
    EXPECT_EQ(std::count(hex.begin(), hex.end(), '\n'), 128 + 16 + 1);
    const auto eeprom = hex.find(":10820000");
    ASSERT_NE(eeprom, std::string::npos);
    EXPECT_EQ(hex.substr(eeprom, 43), ":10820000120000000000000000000000000000005C");
    EXPECT_EQ(hex.substr(eeprom - 45, 9), ":1007F000");  // nothing between the program and the EEPROM
    EXPECT_NE(hex.find(":1082F000"), std::string::npos);
    EXPECT_EQ(hex.find(":1083"), std::string::npos);
}

TEST_F(DataSave, BlankWordsOfTheNarrowCore) {
    device("QZR-D59");  // 512 words of 11 bits
    const auto image = buildOutputImage(st.device, st.image);
    ASSERT_EQ(image.size(), 1024u);
    EXPECT_EQ(image[0], 0xFF);
    EXPECT_EQ(image[1], 0x07);
}

// A typed extension decides the format; the dialog's filter only proposes one for other names.
TEST(DataSaveFormatChoice, TypedExtensionWinsOverTheFilter) {
    struct Case {
        const char* name;
        DataSaveFormat filter;
        DataSaveFormat expected;
    };
    const Case cases[] = {
        {"/p/out.mhx", DataSaveFormat::binary, DataSaveFormat::hex},
        {"/p/out.MHX", DataSaveFormat::binary, DataSaveFormat::hex},
        {"/p/out.bin", DataSaveFormat::hex, DataSaveFormat::binary},
        {"/p/out.Bin", DataSaveFormat::hex, DataSaveFormat::binary},
        {"/p/out.txt", DataSaveFormat::hex, DataSaveFormat::hex},
        {"/p/out", DataSaveFormat::binary, DataSaveFormat::binary},
        {"/p/dir.mhx/out", DataSaveFormat::binary, DataSaveFormat::binary},
        {"/p/out.mhx.bak", DataSaveFormat::hex, DataSaveFormat::hex},
    };
    for (const Case& c : cases) EXPECT_EQ(chosenSaveFormat(c.name, c.filter), c.expected) << c.name;
}

TEST_F(DataSave, RecordsBreakAtSixteenByteBoundariesAndEmptyWords) {
    std::vector<uint8_t> image(0x30, 0xFF);
    for (std::size_t i = 4; i < 0x24; ++i) image[i] = static_cast<uint8_t>(i);
    image[0x20] = 0xFF;  // the word at 20H is FFFFH only together with its high byte
    image[0x21] = 0xFF;
    image[0x2A] = 0x01;
    EXPECT_EQ(buildHexText(image),
              ":0C0004000405060708090A0B0C0D0E0F7E\r\n"
              ":10001000101112131415161718191A1B1C1D1E1F68\r\n"
              ":02002200222397\r\n"
              ":02002A0001FFD4\r\n"
              ":00000001FF\r\n");
}

TEST_F(DataSave, WritesWholeFilesOrReportsFailure) {
    device("QZR-D10");
    const std::string path = dir.file("prog.bin");
    test::writeFile(path, std::string("old"));
    ASSERT_TRUE(SaveProgramMemory(st.device, st.image, *st.ui, path, DataSaveFormat::binary));
    EXPECT_EQ(test::readFile(path).size(), 2048u);
    EXPECT_TRUE(ui.log.empty());

    EXPECT_FALSE(SaveProgramMemory(st.device, st.image, *st.ui, "", DataSaveFormat::binary));
    EXPECT_FALSE(
        SaveProgramMemory(st.device, st.image, *st.ui, dir.file("no/such/folder.mhx"), DataSaveFormat::hex));
    std::filesystem::create_directory(dir.file("taken.mhx"));
    std::filesystem::create_directory(dir.file("taken.mhx/inner"));
    EXPECT_FALSE(SaveProgramMemory(st.device, st.image, *st.ui, dir.file("taken.mhx"), DataSaveFormat::hex));
    EXPECT_EQ(ui.log, Log(3, "Sorry, file can't be saved!"));
    // Nothing is left behind by the failed writes.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 2u);
}

TEST(CliSaveAndLoad, LoadOptionAndSaveCommand) {
    test::TempDir dir;
    std::vector<uint8_t> bin = test::binWords(1024, 0x3FFF);
    test::setBinWord(bin, 0, 0x2805);
    const std::string in = dir.file("in.bin");
    test::writeFile(in, bin);

    auto r =
        test::runCli({"-d", "QZR-D10", "-l", in, "save", dir.file("OUT.MHX"), "save", dir.file("b.Bin")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(dir.file("OUT.MHX")).substr(0, 43),
              ":100000000528FF3FFF3FFF3FFF3FFF3FFF3FFF3F11");
    EXPECT_EQ(test::readFile(dir.file("b.Bin")), std::string(bin.begin(), bin.end()));

    // Another kind of name: refused before anything runs.
    r = test::runCli({"-d", "QZR-D10", "save", dir.file("first.bin"), "save", dir.file("x.txt")});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("first.bin")));
    EXPECT_EQ(test::runCli({"save"}).status, 2);

    // A missing or refused data file: status 2, with the message printed.
    r = test::runCli({"-l", dir.file("missing.bin"), "devices"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "File don't exist!\n");
    r = test::runCli({"-d", "QZR-D01", "-l", in, "devices"});  // 2048 words
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "File size unmatch!\n");
    EXPECT_NE(r.err.find("Code size is half of ROM size. Duplicate the program ? -- No (-y answers Yes)\n"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace qzr
