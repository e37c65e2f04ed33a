#include <gtest/gtest.h>

#include "core/serial_number/SerialNumber.h"
#include "serial_number/SerialTestSupport.h"

namespace qzr {
namespace {

using test::SerialFixtureState;

void setNumber(SerialNumberState& s, int n, uint64_t value) {
    s.wordCount = n;
    for (int k = 0; k < n; ++k)
        s.number[static_cast<std::size_t>(k)] = static_cast<uint8_t>(value >> (8 * k));
}

TEST(SerialNo2Memory, ProgramMemoryInBothByteOrders) {
    SerialFixtureState f;
    f.putRtwi(0x10, 2);
    f.st.serial.serialMode = true;
    f.st.serial.startAddress = 0x10;
    setNumber(f.st.serial, 2, 0x1234);
    const std::string before = f.st.options.memoryChecksumText;
    EXPECT_TRUE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views));
    EXPECT_EQ(f.word(0x10), 0x3112);
    EXPECT_EQ(f.word(0x11), 0x3134);
    EXPECT_NE(f.st.options.memoryChecksumText, before) << "the checksums follow a number in program memory";
    EXPECT_EQ(f.st.serial.serialNoText, " 1234");

    f.st.serial.byteOrder = SerialByteOrder::LsbFirst;
    EXPECT_TRUE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views));
    EXPECT_EQ(f.word(0x10), 0x3134);
    EXPECT_EQ(f.word(0x11), 0x3112);
}

TEST(SerialNo2Memory, BitSevenGoesIntoTheHighHalf) {
    SerialFixtureState f;
    f.putRtwi(0x20, 1);
    f.st.serial.serialMode = true;
    f.st.serial.startAddress = 0x20;
    setNumber(f.st.serial, 1, 0xA5);
    EXPECT_TRUE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views));
    EXPECT_EQ(f.word(0x20), 0x31A5);
    // And back: a later number without bit 7 clears it again; the opcode bits stay.
    setNumber(f.st.serial, 1, 0x05);
    EXPECT_TRUE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views));
    EXPECT_EQ(f.word(0x20), 0x3105);
}

TEST(SerialNo2Memory, EepromTakesTheBytesWithoutNewChecksums) {
    SerialFixtureState f;
    f.st.serial.serialMode = true;
    f.st.serial.target = SerialTarget::Eeprom;
    f.st.serial.startAddress = 0x20;
    setNumber(f.st.serial, 3, 0x010203);
    const std::string before = f.st.options.optionChecksumText;
    EXPECT_TRUE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views));
    EXPECT_EQ(f.st.image.eepromByte(0x1F), 0x00);
    EXPECT_EQ(f.st.image.eepromByte(0x20), 0x01);
    EXPECT_EQ(f.st.image.eepromByte(0x21), 0x02);
    EXPECT_EQ(f.st.image.eepromByte(0x22), 0x03);
    EXPECT_EQ(f.st.image.eepromByte(0x23), 0x00);
    EXPECT_EQ(f.st.options.optionChecksumText, before);
    EXPECT_EQ(f.st.serial.serialNoText, "01 0203");
}

TEST(SerialNo2Memory, NothingHappensWhileTheModeIsOff) {
    SerialFixtureState f;
    f.putRtwi(0, 1);
    setNumber(f.st.serial, 1, 0x42);
    EXPECT_TRUE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views));
    EXPECT_EQ(f.word(0), 0x3100);
}

// A number that does not fit whole is not written at all: no word outside the device, no word that is
// not an RTWI instruction (the user's program would be changed).
TEST(SerialNo2Memory, RefusesANumberThatCannotBePlacedWhole) {
    SerialFixtureState f;
    f.st.serial.serialMode = true;
    f.putRtwi(0x7FE, 2);
    f.st.serial.startAddress = 0x7FE;
    setNumber(f.st.serial, 3, 0xAABBCC);
    EXPECT_FALSE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views))
        << "the third word lies past the 2048 words of the device";
    EXPECT_EQ(f.word(0x7FE), 0x3100);
    EXPECT_EQ(f.word(0x7FF), 0x3100);
    EXPECT_EQ(f.word(0x800), 0x3FFF);

    f.putRtwi(0x100, 3);
    f.st.image.setProgramWord(0x101, splitWord(0x2805));
    f.st.serial.startAddress = 0x100;
    EXPECT_FALSE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views));
    EXPECT_EQ(f.word(0x100), 0x3100);
    EXPECT_EQ(f.word(0x101), 0x2805);
    EXPECT_EQ(f.word(0x102), 0x3100);

    f.st.serial.target = SerialTarget::Eeprom;
    f.st.serial.startAddress = 254;
    EXPECT_FALSE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views))
        << "256 EEPROM bytes";
    EXPECT_EQ(f.st.image.eepromByte(254), 0);
    EXPECT_EQ(f.st.image.eepromByte(256), 0);

    // A device without data EEPROM takes no number there.
    selectDevice(f.st, "QZR-D11");
    f.st.serial.serialMode = true;
    f.st.serial.target = SerialTarget::Eeprom;
    f.st.serial.startAddress = 0;
    setNumber(f.st.serial, 1, 0x55);
    EXPECT_FALSE(
        SerialNo2Memory(f.st.serial, f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views));
    EXPECT_EQ(f.st.image.eepromByte(0), 0);
}

TEST(SerialNumberText, GroupsPairsFromTheLeastSignificantEnd) {
    SerialNumberState s;
    setNumber(s, 1, 0x05);
    EXPECT_EQ(serialNumberText(s), "05");
    setNumber(s, 3, 0xAABBCC);
    EXPECT_EQ(serialNumberText(s), "AA BBCC");
    setNumber(s, 4, 0xAABBCCDD);
    EXPECT_EQ(serialNumberText(s), " AABB CCDD");
    setNumber(s, 8, 0x0102030405060708ull);
    EXPECT_EQ(serialNumberText(s), " 0102 0304 0506 0708");
}

}  // namespace
}  // namespace qzr
