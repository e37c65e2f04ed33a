#include <gtest/gtest.h>

#include <algorithm>

#include "ImageTestSupport.h"
#include "app/BufferCommands.h"

namespace qzr {
namespace {

using Log = std::vector<std::string>;

struct BufferCommands : test::ImageFixture {
    bool fill(const std::string& start, const std::string& end, const std::string& data) {
        return FillDataBuffer(st, FillDialogTexts{start, end, data});
    }
    bool fillEeprom(const std::string& start, const std::string& end, const std::string& data) {
        return FillEepromBuffer(st, FillDialogTexts{start, end, data});
    }
};

TEST_F(BufferCommands, ClearBufferBlanksForTheCore) {
    device("QZR-D59");  // core type 3
    st.image.setProgramWord(0, Word{1, 2});
    st.image.setProgramWord(layout::kProgramWords - 1, Word{1, 2});
    st.dataFileName = "x.bin";
    ClearBuffer(st);
    EXPECT_EQ(st.image.programWord(0), (Word{0x7F, 0x0F}));
    EXPECT_EQ(st.image.programWord(layout::kProgramWords - 1), (Word{0x7F, 0x0F}));
    EXPECT_EQ(st.dataFileName, "");
    EXPECT_EQ(views.calls, (Log{"program", "disasm"}));

    device("QZR-D10");
    EXPECT_EQ(st.image.programWord(0), (Word{0x7F, 0x7F}));
}

TEST_F(BufferCommands, ClearIdDoesNotMaskWhileADeviceResetDoes) {
    device("QZR-D59");
    EXPECT_EQ(st.image.idWord(0), (Word{0x7F, 0x0F}));
    ClearId(st);
    for (std::size_t n = 0; n < 16; ++n) EXPECT_EQ(st.image.idWord(n), (Word{0x7F, 0x7F}));
    EXPECT_EQ(views.calls, Log{"id"});
}

TEST_F(BufferCommands, ClearEepromLeavesTheBytesAbove598) {
    device("QZR-D02");
    st.image.setEepromByte(0, 9);
    st.image.setEepromByte(597, 9);
    st.image.setEepromByte(598, 9);
    ClearEepromBuffer(st);
    EXPECT_EQ(st.image.eepromByte(0), 0);
    EXPECT_EQ(st.image.eepromByte(597), 0);
    EXPECT_EQ(st.image.eepromByte(598), 9);
}

TEST_F(BufferCommands, FillDialogDefaults) {
    device("QZR-D59");
    const FillDialogTexts program = fillDialogDefaults(st, false);
    EXPECT_EQ(program.start, "0");
    EXPECT_EQ(program.end, "1FF");
    EXPECT_EQ(program.data, "3FFF");
    device("QZR-D02");
    const FillDialogTexts eeprom = fillDialogDefaults(st, true);
    EXPECT_EQ(eeprom.end, "7F");
    EXPECT_EQ(eeprom.data, "FF");
}

TEST_F(BufferCommands, FillsTheRangeInclusive) {
    device("QZR-D10");  // words 0-3FFH
    ASSERT_TRUE(fill("10", "10", "1234"));
    EXPECT_EQ(st.image.programWord(0x10), (Word{0x34, 0x24}));
    EXPECT_EQ(st.image.programWord(0x0F), (Word{0x7F, 0x7F}));
    EXPECT_EQ(st.image.programWord(0x11), (Word{0x7F, 0x7F}));

    ASSERT_TRUE(fill("", "3ff", "0"));  // an empty field reads as 0; lower case is fine
    EXPECT_EQ(st.image.programWord(0), (Word{0, 0}));
    EXPECT_EQ(st.image.programWord(0x3FF), (Word{0, 0}));
    EXPECT_EQ(st.image.programWord(0x400), (Word{0x7F, 0x7F}));
    ASSERT_TRUE(fill("0", "3FF", "3FFF"));
    EXPECT_EQ(st.image.programWord(0x200), (Word{0x7F, 0x7F}));
    EXPECT_TRUE(ui.log.empty());
}

TEST_F(BufferCommands, FillKeepsElevenBitWordsUnderTheMask) {
    device("QZR-D59");  // core type 3: blank program words are 7FFH
    const std::string blankSum = st.options.memoryChecksumText;
    ASSERT_TRUE(fill("0", "1FF", "3FFF"));  // the dialog's default data
    EXPECT_EQ(st.image.programWord(0), (Word{0x7F, 0x0F}));
    EXPECT_EQ(st.image.programWord(0x1FF), (Word{0x7F, 0x0F}));
    EXPECT_EQ(st.options.memoryChecksumText, blankSum);
    ASSERT_TRUE(fill("5", "5", "1234"));
    EXPECT_EQ(st.image.programWord(5), (Word{0x34, 0x04}));
}

TEST_F(BufferCommands, EepromCommandsRecomputeTheChecksum) {
    device("QZR-D02");  // EEPROM: the option checksum includes its bytes
    const std::string blank = st.options.optionChecksumText;
    ASSERT_TRUE(fillEeprom("0", "0", "1"));
    EXPECT_NE(st.options.optionChecksumText, blank);
    ClearEepromBuffer(st);
    EXPECT_EQ(st.options.optionChecksumText, blank);
}

TEST_F(BufferCommands, FillChecksInOrderAndFillsNothingOnFailure) {
    device("QZR-D10");
    const MemoryImage before = st.image;
    EXPECT_FALSE(fill("400", "3FF", "0"));
    EXPECT_FALSE(fill("0", "400", "0"));
    EXPECT_FALSE(fill("10", "F", "0"));
    EXPECT_FALSE(fill("0", "3FF", "FFFF"));
    EXPECT_FALSE(fill("0", "3FF", "4000"));
    EXPECT_FALSE(fill("10", "3FG", "0"));  // not hexadecimal: reads as 0, below the start
    EXPECT_EQ(ui.log,
              (Log{"Error: Start address is a invalid value!", "Error: End address is a invalid value!",
                   "Error: Start address is a invalid value!", "Error: Data is a invalid value!",
                   "Error: Data is a invalid value!", "Error: Start address is a invalid value!"}));
    EXPECT_TRUE(std::ranges::equal(st.image.all(), before.all()));
}

TEST_F(BufferCommands, FillEeprom) {
    device("QZR-D02");  // 128 EEPROM bytes
    ASSERT_TRUE(fillEeprom("0", "7F", "A5"));
    EXPECT_EQ(st.image.eepromByte(0), 0xA5);
    EXPECT_EQ(st.image.eepromByte(127), 0xA5);
    EXPECT_EQ(st.image.eepromByte(128), 0);
    EXPECT_FALSE(fillEeprom("0", "7F", "100"));
    EXPECT_FALSE(fillEeprom("0", "80", "1"));
    EXPECT_EQ(ui.log, (Log{"Error: Data is a invalid value!", "Error: End address is a invalid value!"}));
    EXPECT_EQ(st.image.eepromByte(0), 0xA5);

    // A device without EEPROM takes nothing, even if the disabled command is reached.
    device("QZR-D10");
    EXPECT_FALSE(fillEeprom("0", "0", "1"));
    EXPECT_EQ(st.image.eepromByte(0), 0);
}

}  // namespace
}  // namespace qzr
