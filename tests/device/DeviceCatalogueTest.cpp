#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/StateHeader.h"
#include "core/device/DeviceCatalogue.h"

namespace qzr {
namespace {

// The table is data: walk every row and check what must hold.
TEST(DeviceTable, EveryRowIsConsistent) {
    ASSERT_EQ(deviceTable().size(), 59u);
    ASSERT_EQ(familyOptionTable().size(), 40u);
    std::set<std::string> names;
    int index = 0;
    for (const DeviceRecord& r : deviceTable()) {
        ++index;
        char expected[16];
        std::snprintf(expected, sizeof expected, "QZR-D%02d", index);
        EXPECT_EQ(std::string(r.name), expected);
        EXPECT_TRUE(names.insert(r.name).second);
        EXPECT_GE(r.familyIndex, 1);
        EXPECT_LE(r.familyIndex, 39);
        EXPECT_TRUE(r.coreType >= 1 && r.coreType <= 3);
        EXPECT_TRUE(r.writerClass == 1 || r.writerClass == 2);
        EXPECT_TRUE(r.deviceFlags == 0x01 || r.deviceFlags == 0x06) << r.name;
        EXPECT_EQ(r.eepromLastAddress != 0, (r.deviceFlags & kFlagEeprom) != 0) << r.name;
        EXPECT_TRUE(r.oscHeaderRule <= 3);

        MainState st;
        ASSERT_EQ(GetICInfo(st, r.name), index - 1);
        EXPECT_EQ(st.device.programByteCount, (r.romLastAddress + 1) * 2);
        EXPECT_EQ(st.device.highByteMask, r.coreType == 3 ? 0x0F : 0x7F);
    }
}

TEST(DeviceTable, SelectionCopiesFields) {
    MainState st;
    EXPECT_EQ(GetICInfo(st, "QZR-D11"), 10);
    EXPECT_EQ(st.device.optionMask1, 0x2FF0);
    EXPECT_EQ(st.device.optionMask2, 0x0FFF);
    EXPECT_EQ(st.device.optionByteCount, 4);
    EXPECT_EQ(st.device.eepromSize, 1);
    EXPECT_FALSE(st.device.hasEeprom());
    EXPECT_EQ((std::array<uint8_t, 13>{0, 0, 11, 1, 11, 2, 1, 1, 1, 1, 1, 1, 0}),
              st.device.optionItemSelector);

    EXPECT_EQ(GetICInfo(st, "QZR-D01"), 0);
    EXPECT_EQ(st.device.optionByteCount, 2);
    EXPECT_EQ(st.device.eepromSize, 256);

    EXPECT_EQ(GetICInfo(st, "QZR-D52"), 51);
    EXPECT_EQ(st.device.programByteCount, 12288);

    // The search is exact: nothing changes for an unknown name.
    EXPECT_EQ(GetICInfo(st, "QZR-D52 "), -1);
    EXPECT_EQ(GetICInfo(st, "qzr-d01"), -1);
    EXPECT_EQ(st.device.deviceIndex, 51);
}

TEST(Header, RomDataAndResetAddress) {
    MainState st;
    st.deviceListText = "QZR-D59";
    GetICInfo(st, st.deviceListText);
    st.image.setProgramWord(0, Word{0x12, 0x05});
    GetRomData(st);
    EXPECT_EQ(st.image.transferWord(0), (Word{0x12, 0x75}));
    EXPECT_EQ(resetAddress(st.device), 0);  // algorithm 0x30: bit 5 set
    GetICInfo(st, "QZR-D10");
    EXPECT_EQ(resetAddress(st.device), 0x3FF);
    EXPECT_EQ(GetIcName(1), "QZR-D02");
    EXPECT_EQ(GetDownload(1), 1);
    EXPECT_EQ(GetIcName(59), "");
}

}  // namespace
}  // namespace qzr
