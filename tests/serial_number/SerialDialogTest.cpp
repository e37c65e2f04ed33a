#include <gtest/gtest.h>

#include "app/SerialNumberCommands.h"
#include "core/serial_number/SerialNumber.h"
#include "serial_number/SerialTestSupport.h"

namespace qzr {
namespace {

using test::SerialFixtureState;

SerialNoFields fields(std::string address, std::string count, std::string value,
                      std::string increment = "1") {
    SerialNoFields f;
    f.startAddress = std::move(address);
    f.noOfByte = std::move(count);
    f.startValue = std::move(value);
    f.increment = std::move(increment);
    return f;
}

TEST(SerialDialog, FillsTheFieldsFromTheState) {
    SerialNumberState s;
    s.startAddress = 0x1A;
    s.wordCount = 3;
    s.number = {0x03, 0x02, 0xA1};
    s.increment = 7;
    s.mode = SerialKind::PseudoRandom;
    s.target = SerialTarget::Eeprom;
    const SerialNoFields f = FillSerialNoFields(s);
    EXPECT_EQ(f.startAddress, "001A");
    EXPECT_EQ(f.noOfByte, "3");
    EXPECT_EQ(f.startValue, "A10203");
    EXPECT_EQ(f.increment, "7");
    EXPECT_EQ(f.noOfPart, "1");
    EXPECT_EQ(f.mode, SerialKind::PseudoRandom);
    EXPECT_EQ(f.target, SerialTarget::Eeprom);
    EXPECT_FALSE(incrementEnabled(f));
    EXPECT_EQ(serialFieldMaxLength(f, SerialField::StartValue), 6u);
}

TEST(SerialDialog, TypingKeepsOnlyWhatTheFieldTakes) {
    SerialNoFields f = fields("", "2", "");
    TypeSerialField(f, SerialField::StartAddress, "1g2h3a4b");
    EXPECT_EQ(f.startAddress, "123A") << "lower case turned upper, four characters at most";
    TypeSerialField(f, SerialField::NoOfByte, "09");
    EXPECT_EQ(f.noOfByte, "") << "only 1-8";
    TypeSerialField(f, SerialField::NoOfByte, "93");
    EXPECT_EQ(f.noOfByte, "3");
    TypeSerialField(f, SerialField::Increment, "-12x34");
    EXPECT_EQ(f.increment, "123");
    TypeSerialField(f, SerialField::NoOfPart, "12345678");
    EXPECT_EQ(f.noOfPart, "123456");
    TypeSerialField(f, SerialField::StartValue, "abcdef0123");
    EXPECT_EQ(f.startValue, "ABCDEF0123") << "a pasted value is taken whole; leaving the field trims it";
}

TEST(SerialDialog, LeavingFieldsPadsTrimsAndCorrects) {
    test::RecordingUi ui;
    SerialNoFields f = fields("1", "2", "ABCDEF");
    EXPECT_TRUE(LeaveSerialField(f, SerialField::StartAddress, ui));
    EXPECT_EQ(f.startAddress, "0001");
    EXPECT_TRUE(LeaveSerialField(f, SerialField::NoOfByte, ui));
    EXPECT_EQ(f.startValue, "CDEF") << "the last 2n characters";
    f.noOfByte = "3";
    EXPECT_TRUE(LeaveSerialField(f, SerialField::NoOfByte, ui));
    EXPECT_EQ(f.startValue, "00CDEF");
    f.startValue = "5";
    EXPECT_TRUE(LeaveSerialField(f, SerialField::StartValue, ui));
    EXPECT_EQ(f.startValue, "000005");

    f.increment = "0";
    f.noOfPart = "000";
    EXPECT_TRUE(LeaveSerialField(f, SerialField::Increment, ui));
    EXPECT_TRUE(LeaveSerialField(f, SerialField::NoOfPart, ui));
    EXPECT_EQ(f.increment, "1");
    EXPECT_EQ(f.noOfPart, "1");
    EXPECT_TRUE(ui.log.empty());

    // An empty field read as a number is reported and keeps its text.
    f.increment = "";
    EXPECT_FALSE(LeaveSerialField(f, SerialField::Increment, ui));
    EXPECT_EQ(f.increment, "");
    f.noOfByte = "";
    EXPECT_FALSE(LeaveSerialField(f, SerialField::StartValue, ui));
    EXPECT_EQ(f.startValue, "000005");
    EXPECT_EQ(ui.log, (std::vector<std::string>{"'' is not a valid integer value",
                                                "'' is not a valid integer value"}));
}

TEST(SerialDialog, AllOnesStartValueIsClearedOnlyInPseudoRandomMode) {
    test::RecordingUi ui;
    SerialNoFields f = fields("0000", "2", "FFFF");
    EXPECT_TRUE(LeaveSerialField(f, SerialField::StartValue, ui));
    EXPECT_EQ(f.startValue, "FFFF");
    f.mode = SerialKind::PseudoRandom;
    EXPECT_TRUE(LeaveSerialField(f, SerialField::StartValue, ui));
    EXPECT_EQ(f.startValue, "0000");
    f.startValue = "FFFFF";  // trimmed to FFFF first, then cleared
    EXPECT_TRUE(LeaveSerialField(f, SerialField::StartValue, ui));
    EXPECT_EQ(f.startValue, "0000");
}

TEST(SerialDialog, ChecksRunInOrderAndStopAtTheFirstFailure) {
    SerialFixtureState f;
    f.st.serial.serialMode = true;  // any failure leaves the mode off
    SerialNoFields in = fields("0", "", "00", "0");
    EXPECT_FALSE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                      *f.st.views));
    EXPECT_FALSE(f.st.serial.serialMode);

    in.noOfByte = "1";
    in.increment = "x";
    EXPECT_FALSE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                      *f.st.views));
    in.increment = "256";
    EXPECT_FALSE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                      *f.st.views));
    EXPECT_EQ(in.increment, "") << "an increment out of range is emptied";
    in.increment = "255";
    in.startAddress = "7ff";  // word 0x7FF is the last of 2048: one byte fits
    in.noOfByte = "2";
    EXPECT_FALSE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                      *f.st.views));
    EXPECT_EQ(in.startAddress, "07FF");
    in.target = SerialTarget::Eeprom;
    in.startAddress = "00FF";
    EXPECT_FALSE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                      *f.st.views));
    in.startAddress = "00FE";
    in.startValue = "123456";
    EXPECT_FALSE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                      *f.st.views));
    in.startValue = "3456";
    EXPECT_TRUE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                     *f.st.views))
        << "EEPROM needs no RTWI words";
    EXPECT_TRUE(f.st.serial.serialMode);
    in.target = SerialTarget::ProgramMemory;
    in.startAddress = "0010";
    f.putRtwi(0x10, 1);
    EXPECT_FALSE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                      *f.st.views))
        << "word 0x11 is blank";
    EXPECT_FALSE(f.st.serial.serialMode);
    f.putRtwi(0x11, 1);
    EXPECT_TRUE(CheckSerialNoSetting(f.st.serial, in, f.st.device, f.st.image, f.st.hexTextValid, *f.st.ui,
                                     *f.st.views));

    EXPECT_EQ(f.ui.log, (std::vector<std::string>{
                            "\"No. of Byte\" is not a valid value!!",
                            " \"Increment\" is not a valid value!!",
                            " \"Increment\" is not a valid value!!",
                            "Serial no located beyond program memory size",
                            "Serial no located beyond EEPROM memory size",
                            "Start value over 2 bytes!!",
                            "Error: The program memory is not 'RTWI'. Serial No. will be disable!",
                        }));
}

TEST(SerialDialog, RtwiCheckAcceptsBothHighHalvesAndRefusesTheWholeSetting) {
    SerialFixtureState f;
    f.putRtwi(0x40, 3);
    f.st.image.setProgramWord(0x41, splitWord(0x31FF));  // bit 0 of the high half set: still RTWI
    SerialNoFields in = fields("0040", "3", "010203");
    EXPECT_TRUE(BtnOKClick(f.st, in));
    EXPECT_EQ(f.word(0x40), 0x3101);
    EXPECT_EQ(f.word(0x41), 0x3102);
    EXPECT_EQ(f.word(0x42), 0x3103);

    f.st.image.setProgramWord(0x42, splitWord(0x3003));
    in.startValue = "0A0B0C";
    EXPECT_FALSE(BtnOKClick(f.st, in));
    EXPECT_EQ(f.word(0x40), 0x3101) << "a refused setting changes no word";
    EXPECT_EQ(f.word(0x41), 0x3102);
    EXPECT_EQ(f.word(0x42), 0x3003);
    EXPECT_FALSE(f.st.serial.serialMode);
}

struct CommandHooks : ViewHooks {
    void enableSingleAreaCommands(bool enabled, bool menuItemsToo) override {
        calls.push_back(std::string(enabled ? "enable" : "disable") +
                        (menuItemsToo ? " menu+toolbar" : " toolbar"));
    }
    void reloadProgramWindow() override { calls.push_back("reload program"); }
    void reloadEepromWindow() override { calls.push_back("reload eeprom"); }
    std::vector<std::string> calls;
};

TEST(SerialDialog, OkStoresTheFieldsAndDisableTurnsTheModeOff) {
    SerialFixtureState f;
    CommandHooks hooks;
    f.st.views = &hooks;
    SerialNoFields in = fields("0020", "2", "AB12", "9");
    in.mode = SerialKind::PseudoRandom;
    in.byteOrder = SerialByteOrder::LsbFirst;
    in.target = SerialTarget::Eeprom;
    EXPECT_TRUE(BtnOKClick(f.st, in));
    const SerialNumberState& s = f.st.serial;
    EXPECT_TRUE(s.serialMode);
    EXPECT_EQ(s.startAddress, 0x20u);
    EXPECT_EQ(s.wordCount, 2);
    EXPECT_EQ(s.number[0], 0x12);
    EXPECT_EQ(s.number[1], 0xAB);
    EXPECT_EQ(s.increment, 9u);
    EXPECT_EQ(s.mode, SerialKind::PseudoRandom);
    EXPECT_EQ(s.byteOrder, SerialByteOrder::LsbFirst);
    EXPECT_EQ(s.target, SerialTarget::Eeprom);
    EXPECT_EQ(f.st.image.eepromByte(0x20), 0x12);
    EXPECT_EQ(f.st.image.eepromByte(0x21), 0xAB);
    EXPECT_EQ(s.serialNoText, " AB12");
    EXPECT_EQ(serialModeLabel(s), "Enable");

    f.st.operation.qtpSimulation = true;
    BtnDisableClick(f.st);
    EXPECT_FALSE(s.serialMode);
    EXPECT_FALSE(f.st.operation.qtpSimulation);
    EXPECT_EQ(serialModeLabel(s), "Disable");
    EXPECT_EQ(s.startAddress, 0x20u) << "the settings stay for the next opening";
    SerialNoDialogClosed(f.st);
    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"disable menu+toolbar", "enable menu+toolbar",
                                                     "reload program", "reload eeprom"}));
}

}  // namespace
}  // namespace qzr
