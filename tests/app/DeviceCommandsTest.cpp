#include <gtest/gtest.h>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "support/RecordingUi.h"

namespace qzr {
namespace {

TEST(StartValues, FirstDeviceAndBlankBuffers) {
    MainState st;
    EXPECT_EQ(st.deviceListText, "QZR-D01");
    EXPECT_EQ(st.device.deviceIndex, 0);
    for (std::size_t n = 0; n < 16; ++n) EXPECT_EQ(st.image.idWord(n), (Word{0x7F, 0x7F}));
    EXPECT_EQ(st.image.programWord(16383), (Word{0x7F, 0x7F}));
    EXPECT_EQ(st.image.eepromByte(0), 0);
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x7F, 0x7F, 0x7F, 0x7F}));
    EXPECT_TRUE(st.settings.programEepromInAuto);
    EXPECT_FALSE(st.settings.keepOptions);
}

TEST(DeviceChange, ResetsBuffersOptionsAndSerialState) {
    test::RecordingUi ui;
    MainState st;
    st.ui = &ui;
    st.optionBytes = {1, 2, 3, 4};
    st.image.setProgramWord(5, Word{1, 2});
    st.image.setEepromByte(597, 9);
    st.image.setEepromByte(598, 9);  // beyond the cleared part: stays
    st.serial.serialMode = true;
    st.serial.qtpFileOpen = true;
    st.serial.passCountText = "12";
    st.info.customerName = "ACME";
    st.info.projectName = "P";
    st.dataFileName = "x.bin";

    ASSERT_TRUE(selectDevice(st, "QZR-D59"));
    EXPECT_EQ(st.device.coreType, 3);
    // Blank options, masked by UpdateOption with the device's valid bits (0x043F).
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x3F, 0x08, 0x00, 0x00}));
    EXPECT_EQ(st.image.programWord(5), (Word{0x7F, 0x0F}));
    EXPECT_EQ(st.image.idWord(0), (Word{0x7F, 0x0F}));
    EXPECT_EQ(st.image.eepromByte(597), 0);
    EXPECT_EQ(st.image.eepromByte(598), 9);
    EXPECT_FALSE(st.serial.serialMode);
    EXPECT_FALSE(st.serial.qtpFileOpen);
    EXPECT_EQ(st.serial.passCountText, "0");
    EXPECT_EQ(st.info.customerName, "ACME");
    EXPECT_EQ(st.info.projectName, "");
    EXPECT_EQ(st.dataFileName, "");
    // QZR-D59 needs an adaptor board.
    EXPECT_EQ(ui.log, (std::vector<std::string>{"Please add the adaptor"}));

    // An unknown name changes nothing.
    EXPECT_FALSE(selectDevice(st, "QZR-D99"));
    EXPECT_EQ(st.deviceListText, "QZR-D59");
}

TEST(DeviceChange, KeepOptionsProtectsOnlyResetData) {
    MainState st;
    st.settings.keepOptions = true;
    st.optionBytes = {1, 2, 3, 4};
    ResetData(st);
    EXPECT_NE(st.optionBytes, (std::array<uint8_t, 4>{0x7F, 0x7F, 0x7F, 0x7F}));
    // Picking a device sets them to 0x7F before ResetData, whatever the setting.
    selectDevice(st, "QZR-D10");
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x7F, 0x5F, 0x00, 0x00}));  // blank, masked with 0x2FFF
}

}  // namespace
}  // namespace qzr
