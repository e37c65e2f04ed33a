// The writer header: what each area and kind sends, and the named fields against the bytes.
#include <gtest/gtest.h>

#include <array>

#include "app/MainState.h"
#include "app/StateHeader.h"
#include "core/writer/WriterHeader.h"

namespace qzr {
namespace {

std::array<uint8_t, 10> header(MainState& st, uint8_t area, uint8_t kind) {
    GetHeader(st, area, kind);
    std::array<uint8_t, 10> h{};
    std::copy_n(st.image.headerArea().begin(), 10, h.begin());
    return h;
}

TEST(Header, ContentByAreaAndKind) {
    MainState st;
    st.deviceListText = "QZR-D10";  // 0x3FF, alg 0x02, mode 0x20, one option word, OTP
    using H = std::array<uint8_t, 10>;
    EXPECT_EQ(header(st, kAreaProgram, kKindProgram), (H{0xA1, 0, 0, 0xFF, 0x03, 0, 0x02, 3, 0x20, 0xA6}));
    // Reading the options asks for 4 words even with one option word; programming for optionByteCount/2.
    EXPECT_EQ(header(st, kAreaOption, kKindRead), (H{0xA1, 0, 0, 3, 0, 1, 0x02, 48, 0x20, 0xA5}));
    EXPECT_EQ(header(st, kAreaOption, kKindProgram), (H{0xA1, 0, 0, 0, 0, 1, 0x02, 48, 0x20, 0xA6}));
    EXPECT_EQ(header(st, kAreaId, kKindRead), (H{0xA1, 0, 0, 15, 0, 2, 0x02, 3, 0x20, 0xA5}));
    EXPECT_EQ(header(st, kAreaId, kKindProgramPulse), (H{0xA1, 0, 0, 7, 0, 2, 0x02, 12, 0x20, 0xA7}));
    EXPECT_EQ(header(st, kAreaSpecial, kKindRead), (H{0xA1, 0, 0, 19, 0, 5, 0x02, 48, 0x20, 0xA5}));
    EXPECT_EQ(header(st, 9, 7), (H{0xA1, 0, 0, 0, 0, 2, 0x02, 3, 0x20, 0xA5}));

    // The erase pulse comes from the engineering panel only while it is shown.
    st.panel.eraseWidthText = "100";
    EXPECT_EQ(header(st, kAreaProgram, kKindErase)[7], 240);
    st.panel.visible = true;
    EXPECT_EQ(header(st, kAreaProgram, kKindErase)[7], 100);

    st.settings.bypassIcCheck = true;
    EXPECT_EQ(header(st, kAreaProgram, kKindRead)[8], 0xA0);
}

TEST(Header, EepromFlashAndOscillatorRule) {
    MainState st;
    st.deviceListText = "QZR-D02";  // EEPROM 0x7F, flash
    using H = std::array<uint8_t, 10>;
    EXPECT_EQ(header(st, kAreaEeprom, kKindRead), (H{0xA1, 0, 0, 0x7F, 0, 3, 0xB1, 20, 0xD0 | 0x80, 0xA5}));
    EXPECT_EQ(header(st, kAreaProgram, kKindProgramPulse)[7], 5);
    st.panel.visible = true;
    EXPECT_EQ(header(st, kAreaProgram, kKindProgramPulse)[7], 12);

    st.deviceListText = "QZR-D25";  // oscillator rule 3
    st.optionBytes = {0x0A, 0x00, 0x7F, 0x7F};
    EXPECT_EQ(header(st, kAreaProgram, kKindRead)[8], 0x40 | 0x80);
    st.optionBytes[1] = 0x10;
    EXPECT_EQ(header(st, kAreaProgram, kKindRead)[8], 0x40);
    EXPECT_EQ(header(st, kAreaProgram, kKindProgram)[8], 0x40);
}

// Every byte lands in its field and back; the continuation bit is the command's bit 6.
TEST(Header, FieldsRoundTripThroughTheBytes) {
    using B = std::array<uint8_t, 10>;
    struct Case {
        B bytes;
        uint16_t lastIndex;
        uint8_t area, algorithm, timing, mode, command;
        bool continuation;
    };
    const Case cases[] = {
        {{0xA1, 0, 0, 0xFF, 0x03, 0, 0x02, 3, 0x20, 0xA6}, 0x03FF, 0, 0x02, 3, 0x20, 0xA6, false},
        {{0xA1, 0, 0, 15, 0, 2, 0x02, 3, 0x20, 0xE5}, 15, 2, 0x02, 3, 0x20, 0xE5, true},
        {{0xA1, 0, 0, 0x7F, 0, 3, 0xB1, 20, 0xD0, 0xA5}, 0x007F, 3, 0xB1, 20, 0xD0, 0xA5, false},
        {{0xA1, 0x12, 0x34, 0x00, 0x3F, 5, 0xFF, 240, 0x80, 0xE8}, 0x3F00, 5, 0xFF, 240, 0x80, 0xE8, true},
    };
    for (const Case& c : cases) {
        const WriterHeader h = WriterHeader::decode(c.bytes);
        EXPECT_EQ(h.start, 0xA1);
        EXPECT_EQ(h.lastIndex, c.lastIndex);
        EXPECT_EQ(h.area, c.area);
        EXPECT_EQ(h.algorithm, c.algorithm);
        EXPECT_EQ(h.timing, c.timing);
        EXPECT_EQ(h.mode, c.mode);
        EXPECT_EQ(h.command, c.command);
        EXPECT_EQ(h.continuation(), c.continuation);
        EXPECT_EQ(h.encode(), c.bytes);
        WriterHeader flipped = h;
        flipped.setContinuation(!c.continuation);
        EXPECT_EQ(flipped.encode()[9], c.bytes[9] ^ wb::kContinuationBit);
    }
}

}  // namespace
}  // namespace qzr
