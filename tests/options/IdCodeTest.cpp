#include <gtest/gtest.h>

#include "app/BufferCommands.h"
#include "app/DeviceCommands.h"
#include "app/IdCommands.h"
#include "app/MainState.h"
#include "core/options/IdCode.h"
#include "core/options/Options.h"

namespace qzr {
namespace {

MainState onDevice(const char* name) {
    MainState st;
    EXPECT_TRUE(selectDevice(st, name));
    return st;
}

std::vector<uint8_t> idBytes(const MainState& st, std::size_t from, std::size_t count) {
    const auto id = st.image.idArea().subspan(from, count);
    return {id.begin(), id.end()};
}

std::vector<uint8_t> transfer(const MainState& st, std::size_t from, std::size_t count) {
    const auto t = st.image.transferArea().subspan(from, count);
    return {t.begin(), t.end()};
}

TEST(IdText, HexAndAsciiAfterClearId) {
    MainState st = onDevice("QZR-D10");
    ClearId(st);
    EXPECT_EQ(idText(st.image, kIdModeHex), "7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F");
    EXPECT_EQ(idChecksumText(st.device, st.image, kIdModeHex), "7F 7F 7F 7F");
    EXPECT_EQ(idText(st.image, kIdModeAscii), std::string(12, '\x7F'));  // DEL characters stay as they are
    EXPECT_EQ(idChecksumText(st.device, st.image, kIdModeAscii), "Blank");

    st.options.idDisplayMode = kIdModeHex;
    IDLabelShow(st.options, st.device, st.image, *st.views);
    EXPECT_EQ(st.options.idText, "7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F");
    EXPECT_EQ(st.options.idChecksumText, "7F 7F 7F 7F");
}

TEST(IdText, AsciiStopsAtZeroAndShowsControlsAsBlanks) {
    MainState st = onDevice("QZR-D10");
    applyIdEditorText(st, "AB", kIdModeAscii);
    st.image.idArea()[1] = 0;  // ends the text after "A"
    EXPECT_EQ(idText(st.image, kIdModeAscii), "A");
    auto id = st.image.idArea();
    id[12] = '1';
    id[13] = 0x05;
    id[14] = 'F';
    id[15] = 'E';
    EXPECT_EQ(idChecksumText(st.device, st.image, kIdModeAscii), "1 FE");

    // The 11-bit core shows the high half as a hexadecimal digit.
    st = onDevice("QZR-D59");
    EXPECT_EQ(idChecksumText(st.device, st.image, kIdModeAscii), "Blank");  // blank there is 7F 0F
    id = st.image.idArea();
    id[12] = '1';
    id[13] = 0x0A;
    id[14] = '2';
    id[15] = 0x00;
    EXPECT_EQ(idChecksumText(st.device, st.image, kIdModeAscii), "1A20");
}

TEST(IdEditor, AsciiStoresMaskedCharactersAndBlanksTheRest) {
    MainState st = onDevice("QZR-D10");
    applyIdEditorText(st, "ABCDE", kIdModeAscii);
    EXPECT_EQ(idBytes(st, 0, 12),
              (std::vector<uint8_t>{0x41, 0x42, 0x43, 0x44, 0x45, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F}));
    EXPECT_EQ(idEditorText(st.image, kIdModeAscii), "ABCDE\x7F\x7F\x7F\x7F\x7F\x7F\x7F");

    st = onDevice("QZR-D59");
    applyIdEditorText(st, "ABCDE", kIdModeAscii);
    EXPECT_EQ(idBytes(st, 0, 12),
              (std::vector<uint8_t>{0x41, 0x02, 0x43, 0x04, 0x45, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F}));

    // Longer texts are cut at 12 characters; the checksum bytes stay untouched.
    st = onDevice("QZR-D10");
    applyIdEditorText(st, "0123456789ABCDEF", kIdModeAscii);
    EXPECT_EQ(idText(st.image, kIdModeAscii), "0123456789AB");
    EXPECT_EQ(idBytes(st, 12, 4), (std::vector<uint8_t>{0x7F, 0x7F, 0x7F, 0x7F}));
}

TEST(IdEditor, HexParsesPairsAndCountsOtherCharactersAsF) {
    MainState st = onDevice("QZR-D10");
    applyIdEditorText(st, "01 23 45 67 89 ab CD EF 10 FF 7G", kIdModeHex);
    EXPECT_EQ(idBytes(st, 0, 12),
              (std::vector<uint8_t>{0x01, 0x23, 0x45, 0x67, 0x09, 0x2B, 0x4D, 0x6F, 0x10, 0x7F, 0x7F, 0x7F}));
    EXPECT_EQ(idEditorText(st.image, kIdModeHex), "01 23 45 67 09 2B 4D 6F 10 7F 7F 7F");
    EXPECT_EQ(idEditorText(st.image, kIdModeHex).size(), 35u);

    // An empty field: every low half 0x7F, every high half highByteMask.
    st = onDevice("QZR-D59");
    applyIdEditorText(st, "", kIdModeHex);
    EXPECT_EQ(idBytes(st, 0, 12),
              (std::vector<uint8_t>{0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F}));
    // The editor redraws the texts in the current mode.
    st.options.idDisplayMode = kIdModeHex;
    applyIdEditorText(st, "11 22", kIdModeHex);
    EXPECT_EQ(st.options.idText, "11 02 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F");
}

// Sets the memory-checksum text the main window shows, which is what the ID checksum carries.
void setChecksumText(MainState& st, const char* text) {
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.options.memoryChecksumText = text;
}

TEST(IdChecksum, FourteenBitCoreCarriesCharacters) {
    MainState st = onDevice("QZR-D10");
    applyIdEditorText(st, "QZR", kIdModeAscii);
    setChecksumText(st, "1A2B");
    GetIdChecksum(st.options, st.device, st.image);
    EXPECT_EQ(transfer(st, 0, 16), (std::vector<uint8_t>{'Q', 'Z', 'R', 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
                                                         0x7F, 0x7F, 0x7F, 0x31, 0x41, 0x32, 0x42}));
    EXPECT_EQ(transfer(st, 16, 16), idBytes(st, 16, 16));

    // Read back unchanged: good; another checksum: 2; another ID: 1; both: 3.
    EXPECT_EQ(VerifyIdChecksum(st.options, st.device, st.image), IdVerifyResult{});
    setChecksumText(st, "1A2C");
    EXPECT_EQ(VerifyIdChecksum(st.options, st.device, st.image), (IdVerifyResult{false, true}));
    st.image.transferArea()[4] = 'X';
    EXPECT_EQ(VerifyIdChecksum(st.options, st.device, st.image), (IdVerifyResult{true, true}));
    setChecksumText(st, "1A2B");
    EXPECT_EQ(VerifyIdChecksum(st.options, st.device, st.image), (IdVerifyResult{true, false}));
}

TEST(IdChecksum, ElevenBitCoreCarriesDigitValues) {
    MainState st = onDevice("QZR-D59");
    setChecksumText(st, "1A2B");
    GetIdChecksum(st.options, st.device, st.image);
    EXPECT_EQ(transfer(st, 0, 16), (std::vector<uint8_t>{0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F,
                                                         0x7F, 0x7F, 0x7F, 0x31, 0x7A, 0x32, 0x7B}));
    // The chip gives back only four bits of every high half.
    auto t = st.image.transferArea();
    for (std::size_t i = 1; i < 16; i += 2) t[i] &= 0x0F;
    EXPECT_EQ(VerifyIdChecksum(st.options, st.device, st.image), IdVerifyResult{});
    t[13] = 0x0B;
    EXPECT_EQ(VerifyIdChecksum(st.options, st.device, st.image), (IdVerifyResult{false, true}));
}

TEST(IdChecksum, ClearIdOnElevenBitCoreStillVerifies) {
    // Clear ID leaves 0x7F in the high halves, of which the chip keeps four bits.
    MainState st = onDevice("QZR-D59");
    ClearId(st);
    GetIdChecksum(st.options, st.device, st.image);
    auto t = st.image.transferArea();
    for (std::size_t i = 1; i < 16; i += 2) t[i] &= 0x0F;
    EXPECT_EQ(VerifyIdChecksum(st.options, st.device, st.image), IdVerifyResult{});
}

TEST(IdChecksum, UsesTheComputedChecksumBeforeAnyWasShown) {
    MainState st;
    ASSERT_EQ(st.options.memoryChecksumText, "Blank");
    GetIdChecksum(st.options, st.device, st.image);
    // QZR-D01: 2048 blank words, F000.
    EXPECT_EQ(transfer(st, 12, 4), (std::vector<uint8_t>{'F', '0', '0', '0'}));
}

TEST(IdExtendedView, RowsFromTheIdAreaAndOptionBytes) {
    MainState st = onDevice("QZR-D10");
    auto id = st.image.idArea();
    for (std::size_t i = 16; i < 32; ++i) id[i] = static_cast<uint8_t>(i);
    auto aux = st.image.auxArea();
    for (std::size_t i = 0; i < aux.size(); ++i) aux[i] = static_cast<uint8_t>(0xA0 + i);
    st.options.readOptionBytes = {1, 2, 3, 4};
    const IdExtendedView v = idExtendedView(st.options, st.optionBytes, st.image);
    EXPECT_EQ(v.writerId, "10");
    EXPECT_EQ(v.writerModel, "18");
    EXPECT_EQ(v.firmwareVersion, "19");
    EXPECT_EQ(v.gangWriterId, "16");
    EXPECT_EQ(v.gangWriterModel, "14");
    EXPECT_EQ(v.gangWriterVersion, "15");
    EXPECT_EQ(v.dump, "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F");
    EXPECT_EQ(v.userOption, "7F 5F 00 00 01 02 03 04");
    EXPECT_EQ(v.bodyOption0, "A0 A1 A2 A3 A4 A5 A6 A7");
    EXPECT_EQ(v.bodyOption1, "A8 A9 AA AB AC AD AE AF");
}

// Every redraw of the ID texts asks the shell to show them again (the main window's "ID :" group).
TEST(IdText, EveryChangeAsksForTheIdDisplay) {
    struct Counting final : ViewHooks {
        int idDisplays = 0;
        void refreshIdDisplay() override { ++idDisplays; }
    } views;
    MainState st = onDevice("QZR-D10");
    st.views = &views;
    applyIdEditorText(st, "ABC", kIdModeAscii);
    EXPECT_EQ(views.idDisplays, 1);
    EXPECT_EQ(st.options.idText.substr(0, 3), "ABC");
    IDLabelShow(st.options, st.device, st.image, *st.views);
    EXPECT_EQ(views.idDisplays, 2);
}

}  // namespace
}  // namespace qzr
