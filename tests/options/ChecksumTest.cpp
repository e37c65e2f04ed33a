#include <gtest/gtest.h>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/options/Options.h"

namespace qzr {
namespace {

MainState onDevice(const char* name) {
    MainState st;
    EXPECT_TRUE(selectDevice(st, name));
    return st;
}

TEST(Checksum, LabelsReadBlankUntilComputed) {
    OptionState o;
    EXPECT_EQ(o.memoryChecksumText, "Blank");
    EXPECT_EQ(o.optionChecksumText, "Blank");
    EXPECT_EQ(o.protectChecksumText, "Blank");
}

TEST(Checksum, BlankAreas) {
    MainState st = onDevice("QZR-D10");  // 1024 words
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    EXPECT_EQ(st.options.memoryChecksumText, "F800");  // 1024 x 0x13E
    EXPECT_EQ(st.options.memoryChecksum, 0xF800);
    EXPECT_EQ(st.options.protectChecksumText, "F800");
    EXPECT_EQ(st.options.optionChecksumCaption, "w/OPTIONs:");
    EXPECT_EQ(st.options.optionChecksumText, "F92E");  // + 7F 5F

    st = onDevice("QZR-D59");  // 512 words of 11 bits, blank (7F, 0F)
    EXPECT_EQ(st.options.memoryChecksumText, "0C00");
    EXPECT_EQ(st.options.protectChecksumText, "0C00");
}

TEST(Checksum, WordsAndProtectMask) {
    MainState st = onDevice("QZR-D10");
    st.image.setProgramWord(0, splitWord(0x0000));
    st.image.setProgramWord(1, splitWord(0x1234));
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    // 1022 blank words + 0 + (0x34 + 0x12)
    const uint32_t memory = (1022u * 0x13E + 0x34 + 0x12) & 0xFFFF;
    EXPECT_EQ(st.options.memoryChecksum, memory);
    // Protected: W | 0x0F9F; 0 -> 0x0F9F, 0x1234 -> 0x1FBF.
    const uint32_t protect = (1022u * 0x13E + 0x9F + 0x0F + 0xBF + 0x1F) & 0xFFFF;
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", protect);
    EXPECT_EQ(st.options.protectChecksumText, buf);

    st = onDevice("QZR-D59");
    st.image.setProgramWord(0, Word{0x00, 0x00});
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    // W | 0x079F = 0x079F: 0x9F + 0x07.
    std::snprintf(buf, sizeof buf, "%04X", (511u * 0x106 + 0x9F + 0x07) & 0xFFFF);
    EXPECT_EQ(st.options.protectChecksumText, buf);
}

TEST(Checksum, OptionWordsAndEeprom) {
    MainState st = onDevice("QZR-D11");  // two option words, no EEPROM
    st.optionBytes = {0x01, 0x03, 0x05, 0x07};
    st.image.setEepromByte(0, 0x40);  // no EEPROM on this device: ignored
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    // word 1 = 0x181: 0x81 + 0x01; word 2 = 0x385: 0x85 + 0x03
    EXPECT_EQ(st.options.optionChecksumCaption, "w/OPTIONs:");
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", (st.options.memoryChecksum + 0x82 + 0x88) & 0xFFFF);
    EXPECT_EQ(st.options.optionChecksumText, buf);

    st = onDevice("QZR-D10");  // one option word: bytes 2 and 3 ignored whatever they hold
    st.optionBytes = {0x01, 0x03, 0x55, 0x66};
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    std::snprintf(buf, sizeof buf, "%04X", (st.options.memoryChecksum + 0x82) & 0xFFFF);
    EXPECT_EQ(st.options.optionChecksumText, buf);

    st = onDevice("QZR-D01");  // EEPROM of 256 bytes
    st.optionBytes = {0, 0, 0, 0};
    st.image.setEepromByte(0, 0xFF);
    st.image.setEepromByte(255, 0x01);
    st.image.setEepromByte(256, 0x80);  // past the device's EEPROM
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    EXPECT_EQ(st.options.optionChecksumCaption, "w/OPTIONs+EE:");
    std::snprintf(buf, sizeof buf, "%04X", (st.options.memoryChecksum + 0x100) & 0xFFFF);
    EXPECT_EQ(st.options.optionChecksumText, buf);
}

TEST(Checksum, SumsWrapAtSixteenBits) {
    MainState st = onDevice("QZR-D52");  // 6144 words
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    EXPECT_EQ(st.options.memoryChecksum, (6144u * 0x13E) & 0xFFFF);
    // Memory F000, EEPROM 256 x 0xFF, option word blank: 0xF000 + 0xFF00 + 0x13E = 0x1F03E, carry dropped.
    st = onDevice("QZR-D01");
    for (std::size_t n = 0; n < 256; ++n) st.image.setEepromByte(n, 0xFF);
    st.optionBytes = {0x7F, 0x7F, 0, 0};
    CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    EXPECT_EQ(st.options.memoryChecksumText, "F000");
    EXPECT_EQ(st.options.optionChecksumText, "F03E");
}

}  // namespace
}  // namespace qzr
