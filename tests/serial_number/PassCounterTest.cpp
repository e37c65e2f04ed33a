#include <gtest/gtest.h>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/serial_number/PassCounter.h"

namespace qzr {
namespace {

TEST(PassCounter, CountsOnInDecimal) {
    EXPECT_EQ(nextPassCount("0"), "1");
    EXPECT_EQ(nextPassCount("41"), "42");
    EXPECT_EQ(nextPassCount("0041"), "42");
    EXPECT_EQ(nextPassCount("199"), "200");
    EXPECT_EQ(nextPassCount("999999999"), "1000000000");
    EXPECT_EQ(nextPassCount("99999999999999999999"), "100000000000000000000") << "no overflow";
    EXPECT_EQ(nextPassCount(""), "1");
    EXPECT_EQ(nextPassCount("12a"), "1") << "a text that is no number counts as 0";
}

TEST(PassCounter, SetIncrementAndReset) {
    MainState st;
    EXPECT_EQ(st.serial.passCountText, "0");
    EXPECT_TRUE(SetPassCount(st.serial, *st.views, "41"));
    for (int chip = 0; chip < 3; ++chip) IncrementPassCount(st.serial, *st.views);
    EXPECT_EQ(st.serial.passCountText, "44");

    EXPECT_TRUE(SetPassCount(st.serial, *st.views, "007"));
    EXPECT_EQ(st.serial.passCountText, "007") << "the field's text is taken unchanged";
    EXPECT_TRUE(SetPassCount(st.serial, *st.views, ""));
    EXPECT_EQ(st.serial.passCountText, "0") << "an empty field stores 0";
    EXPECT_FALSE(SetPassCount(st.serial, *st.views, "1x"));
    EXPECT_EQ(st.serial.passCountText, "0");

    EXPECT_TRUE(passCountFieldAccepts('7'));
    EXPECT_FALSE(passCountFieldAccepts('a'));
    EXPECT_FALSE(passCountFieldAccepts('-'));

    SetPassCount(st.serial, *st.views, "12");
    selectDevice(st, "QZR-D02");
    EXPECT_EQ(st.serial.passCountText, "0");
    SetPassCount(st.serial, *st.views, "12");
    ResetPassCount(st.serial, *st.views);
    EXPECT_EQ(st.serial.passCountText, "0");
}

}  // namespace
}  // namespace qzr
