// The engineering panel's rules and the about box's texts.
#include <gtest/gtest.h>

#include <optional>

#include "app/EngineeringPanel.h"
#include "app/MainState.h"
#include "app/SystemInfo.h"

namespace qzr {
namespace {

TEST(EngineeringPanel, PulseWidthCorrections) {
    struct Case {
        const char* typed;
        const char* pulse;  // write pulse
        const char* erase;  // erase pulse
    };
    const Case cases[] = {
        {"", "5", "120"},      {"0", "1", "1"},
        {"000", "1", "1"},     {"6", "6", "6"},
        {"127", "127", "127"}, {"128", "127", "128"},
        {"255", "127", "255"}, {"256", "127", "255"},
        {"300", "127", "255"}, {"99999999999", "127", "255"},
        {"007", "007", "007"}, {"1x", "1x", "1x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(correctPulseWidth(c.typed), c.pulse);
        EXPECT_EQ(correctEraseWidth(c.typed), c.erase);
    }
    MainState st;
    EXPECT_EQ(PulseWidthChange(st, ""), "5");
    EXPECT_EQ(EraseWidthChange(st, "300"), "255");
    EXPECT_EQ(st.panel.pulseWidthText, "5");
    EXPECT_EQ(st.panel.eraseWidthText, "255");
}

TEST(EngineeringPanel, AccessCodeAndToggles) {
    MainState st;
    int asked = 0;
    auto answer = [&](std::optional<std::string> text) {
        return [&asked, text]() {
            ++asked;
            return text;
        };
    };
    EXPECT_FALSE(Label3DblClick(st, answer("QPL5186X")));
    EXPECT_FALSE(Label3DblClick(st, answer("QPL5186")));  // without the blank
    EXPECT_FALSE(Label3DblClick(st, answer(std::nullopt)));
    EXPECT_TRUE(Label3DblClick(st, answer("qpl5186 ")));  // upper-cased
    EXPECT_EQ(st.panel.passwordText, "QPL5186 ");
    EXPECT_FALSE(Label3DblClick(st, answer("never asked")));
    EXPECT_EQ(asked, 4) << "a shown panel is hidden without asking";

    EXPECT_FALSE(QtpSimClick(st)) << "no QTP simulation without serial-number mode";
    st.serial.serialMode = true;
    EXPECT_TRUE(QtpSimClick(st));
    EXPECT_TRUE(FlashPgmTestClick(st));
    EXPECT_FALSE(FlashPgmTestClick(st));
    EXPECT_TRUE(btShowTimeClick(st));
    EXPECT_STREQ(toggleCaption(true), "Disable");
    EXPECT_STREQ(toggleCaption(false), "Enable");
}

TEST(AboutBox, Texts) {
    EXPECT_EQ(aboutVersionText("QZR Writer V2.77"), "Version : V2.77");
    EXPECT_EQ(memoryText(2048), "2048 KB");
    EXPECT_GT(physicalMemoryKb(), 0u);
    EXPECT_NE(operatingSystemText().find(" (Build "), std::string::npos);
    EXPECT_EQ(writerFirmwareText(" HRP021A V3.30"), "HRP021A V3.30");
    EXPECT_EQ(writerFirmwareText(""), "Unknown");
}

}  // namespace
}  // namespace qzr
