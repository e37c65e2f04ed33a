#include <gtest/gtest.h>

#include <optional>

#include "ImageTestSupport.h"
#include "app/BufferCommands.h"
#include "core/common/HexText.h"
#include "core/image/CellEdit.h"
#include "core/options/Options.h"

namespace qzr {
namespace {

using test::ImageFixture;

struct GridCase {
    const char* device;
    int programRows;
    const char* lastProgramAddress;
    int eepromRows;
    const char* lastEepromAddress;  // "" when the grid has only its header row
};

struct CellEdit : ImageFixture {};

TEST_F(CellEdit, GridGeometryFollowsTheDevice) {
    const GridCase cases[] = {
        {"QZR-D02", 129, "0x03F8", 9, "0x70"},   // 1024 words, 128 EEPROM bytes
        {"QZR-D59", 65, "0x01F8", 1, ""},        // 512 words, no EEPROM
        {"QZR-D52", 769, "0x17F8", 1, ""},       // 6144 words, the largest device
        {"QZR-D01", 257, "0x07F8", 17, "0xF0"},  // 256 EEPROM bytes
    };
    for (const auto& c : cases) {
        device(c.device);
        EXPECT_EQ(programGridRows(st.device), c.programRows) << c.device;
        EXPECT_EQ(programAddressText(1), "0x0000");
        EXPECT_EQ(programAddressText(c.programRows - 1), c.lastProgramAddress) << c.device;
        EXPECT_EQ(eepromGridRows(st.device), c.eepromRows) << c.device;
        if (c.eepromRows > 1) {
            EXPECT_EQ(eepromAddressText(c.eepromRows - 1), c.lastEepromAddress) << c.device;
        }
    }
    EXPECT_EQ(eepromAddressText(1), "0x00");
    EXPECT_EQ(programHeaderText(1), "+0/8");
    EXPECT_EQ(programHeaderText(8), "+7/F");
    EXPECT_EQ(eepromHeaderText(1), "+0");
    EXPECT_EQ(eepromHeaderText(16), "+F");
    EXPECT_EQ(programWordAt(2, 3), 10u);
    EXPECT_EQ(eepromIndexAt(2, 3), 18u);
}

TEST_F(CellEdit, CellTexts) {
    st.image.setProgramWord(0, Word{0x85, 0x01});  // the first byte's bit 7 is not part of the word
    st.image.setProgramWord(1, Word{0x7F, 0x0F});
    st.image.setEepromByte(3, 0xAB);
    EXPECT_EQ(programCellText(st.image, 0), "0085");
    EXPECT_EQ(programCellText(st.image, 1), "07FF");
    EXPECT_EQ(programCellText(st.image, 2), "3FFF");
    EXPECT_EQ(eepromCellText(st.image, 3), "AB");
    EXPECT_EQ(eepromCellText(st.image, 4), "00");
}

TEST(WordEditor, AcceptsUpToTheCoresLargestWord) {
    struct Case {
        const char* text;
        int coreType;
        std::optional<uint32_t> value;
    };
    const Case cases[] = {
        {"7FF", 3, 0x7FF},
        {"800", 3, std::nullopt},
        {"3FFF", 1, 0x3FFF},
        {"4000", 2, std::nullopt},
        {"5", 1, 5},
        {"abc", 2, 0xABC},
        {"", 1, 0},
        {"FFFF", 1, std::nullopt},
        {"10000", 1, std::nullopt},  // longer than the field; must not wrap into a small value
        {"12G", 1, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(wordEditorAccept(c.text, c.coreType), c.value) << c.text;
    EXPECT_EQ(wordEditorCancel("07FF"), 0x7FFu);
}

TEST_F(CellEdit, ProgramWordEdits) {
    struct Case {
        std::size_t word;
        const char* cell;
        uint32_t result;
        bool written;
        uint16_t after;
    };
    const Case cases[] = {
        {5, "3FFF", 5, true, 0x0005},
        {6, "3FFF", 0x2ABC, true, 0x2ABC},
        {7, "3FFF", 0x4000, false, 0x3FFF},  // above 3FFFH: nothing changes
        {8, "0000", 1, false, 0x3FFF},       // stale cell
    };
    device("QZR-D10");
    for (const auto& c : cases) {
        st.options.memoryChecksumText.clear();
        EXPECT_EQ(editProgramWord(st, c.word, c.cell, c.result), c.written) << c.word;
        EXPECT_EQ(word(c.word), c.after) << c.word;
        EXPECT_EQ(st.options.memoryChecksumText, hexDigits(memoryChecksum(st.device, st.image), 4)) << c.word;
    }
    EXPECT_EQ(st.image.programWord(6), (Word{0x3C, 0x55}));
    EXPECT_FALSE(editProgramWord(st, layout::kProgramWords, "3FFF", 1));
}

TEST_F(CellEdit, EepromByteEdits) {
    struct Case {
        std::size_t index;
        const char* cell;
        uint32_t result;
        bool written;
        uint8_t after;
    };
    const Case cases[] = {
        {0, "00", 0xFF, true, 0xFF},
        {1, "00", 0x100, false, 0x00},  // the editor takes it, the byte cannot hold it
        {2, "01", 0x12, false, 0x00},   // stale cell
    };
    device("QZR-D02");
    for (const auto& c : cases) {
        st.options.optionChecksumText.clear();
        EXPECT_EQ(editEepromByte(st, c.index, c.cell, c.result), c.written) << c.index;
        EXPECT_EQ(st.image.eepromByte(c.index), c.after) << c.index;
        EXPECT_FALSE(st.options.optionChecksumText.empty()) << c.index;
    }
    EXPECT_EQ(st.options.optionChecksumCaption, "w/OPTIONs+EE:");
    EXPECT_FALSE(editEepromByte(st, layout::kEepromBytes, "00", 1));
}

}  // namespace
}  // namespace qzr
