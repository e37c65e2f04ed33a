#include <gtest/gtest.h>

#include <string>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "app/OptionCommands.h"
#include "core/options/OptionEditor.h"
#include "core/options/Options.h"

namespace qzr {
namespace {

struct CountingViews : ViewHooks {
    int options = 0;
    int checksums = 0;
    void refreshOptionDisplay() override { ++options; }
    void refreshChecksums() override { ++checksums; }
};

MainState onDevice(const char* name) {
    MainState st;
    EXPECT_TRUE(selectDevice(st, name));
    return st;
}

const OptionItemView& item(const MainState& st, int k) {
    return st.options.items[static_cast<std::size_t>(k - 1)];
}

// Sets the option bytes from an optionValue-layout value.
void setValue(MainState& st, uint32_t v) {
    st.optionBytes = {static_cast<uint8_t>(v & 0x7F), static_cast<uint8_t>((v >> 7) & 0x7F),
                      static_cast<uint8_t>((v >> 16) & 0x7F), static_cast<uint8_t>((v >> 23) & 0x7F)};
}

TEST(UpdateOption, BlankFamilyOneDevice) {
    MainState st = onDevice("QZR-D10");  // family 1, and-mask 0x2FFF
    CountingViews views;
    st.views = &views;
    ClearOption(st);
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x7F, 0x5F, 0x00, 0x00}));
    EXPECT_EQ(st.options.optionValueText, "7F 5F 00 00");
    EXPECT_EQ(st.options.optionStatus, (OptionStatus{true, false}));
    for (int k : {1, 3, 4, 5}) {
        EXPECT_EQ(item(st, k).valueText, "Blank") << k;
        EXPECT_TRUE(item(st, k).captionVisible);
        EXPECT_TRUE(item(st, k).valueEnabled);
    }
    EXPECT_EQ(item(st, 1).caption, "OSC Type:");
    EXPECT_EQ(item(st, 6).caption, "Security:");
    EXPECT_EQ(item(st, 6).valueText, "Disable");  // list 2 has no blank entry; bit 13 set
    for (int k : {2, 7, 8, 9, 10, 11, 12, 13}) {
        EXPECT_FALSE(item(st, k).captionVisible) << k;
        EXPECT_FALSE(item(st, k).captionEnabled);
        EXPECT_FALSE(item(st, k).valueEnabled);
        EXPECT_EQ(item(st, k).valueText, "Blank");
    }
    EXPECT_EQ(views.options, 1);
    EXPECT_EQ(views.checksums, 1);
}

TEST(UpdateOption, DecodesValuesAndFlagsErrors) {
    MainState st = onDevice("QZR-D10");
    setValue(st, 0x0006 | 0x0090 | 0x0200 | 0x0800 | 0x1000);  // XT, 20mS, WDT enable, PED enable, security
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    EXPECT_EQ(item(st, 1).valueText, "XT");
    EXPECT_EQ(item(st, 3).valueText, "20mS");
    EXPECT_EQ(item(st, 4).valueText, "Enable");
    EXPECT_EQ(item(st, 5).valueText, "Enable");
    EXPECT_EQ(item(st, 6).valueText, "Enable");  // bit 13 clear
    EXPECT_EQ(st.options.optionStatus, OptionStatus{});
    EXPECT_EQ(optionStatusMessage(st.options.optionStatus), "");

    setValue(st, 0x0000 | 0x00F0 | 0x0200 | 0x0800);  // OSC 0: no entry; OST blank
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    EXPECT_EQ(item(st, 1).valueText, "Error");
    EXPECT_EQ(st.options.optionStatus, (OptionStatus{true, true}));
    EXPECT_EQ(optionStatusMessage(OptionStatus{true, true}), "Some options are blank or error!");
    EXPECT_EQ(optionStatusMessage(OptionStatus{true, false}), "Some options are blank!");
    EXPECT_EQ(optionStatusMessage(OptionStatus{false, true}), "Some options are error!");
}

TEST(UpdateOption, MasksBeforeDecoding) {
    MainState st = onDevice("QZR-D10");
    setValue(st, 0x3FFF | 0x3FFF0000);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    // Bit 12 and the whole second word are not valid for this device.
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x7F, 0x5F, 0x00, 0x00}));

    // The or-mask forces bits: QZR-D11 (and 0x0FFF2FF0, or 0x1000000A) has its low nibble fixed at 0xA.
    st = onDevice("QZR-D11");
    st.optionBytes = {0, 0, 0, 0};
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x0A, 0x00, 0x00, 0x20}));
    EXPECT_EQ(optionValue(st.optionBytes), 0x1000000Au);
    ClearOption(st);
    EXPECT_EQ(st.options.optionValueText, "7A 5F 7F 3F");
    EXPECT_EQ(item(st, 7).caption, "Software WDT:");
    EXPECT_EQ(item(st, 12).caption, "Comparators:");
    EXPECT_EQ(item(st, 12).valueText, "Blank");
    EXPECT_EQ(st.options.optionStatus, (OptionStatus{true, false}));
}

TEST(UpdateOption, ListFourteenSpansBothWords) {
    MainState st = onDevice("QZR-D19");  // family 34: item 1 list 14, item 10 list 2
    setValue(st, 0x0800000A);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    EXPECT_EQ(item(st, 1).valueText, "Internal RC");
    EXPECT_EQ(item(st, 10).caption, "RTCC/PA4:");
    setValue(st, 0x0400000A);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    EXPECT_EQ(item(st, 1).valueText, "RC");
    ClearOption(st);
    EXPECT_EQ(item(st, 1).valueText, "Blank");
}

TEST(UpdateOption, SharedMasksDecodeByList) {
    // Item 5 lists 3 and 4 share their mask; only list 3 knows "High level" (0x0810).
    MainState st = onDevice("QZR-D05");  // family 36: item 5 list 3
    setValue(st, 0x0810 | 0x000A);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    EXPECT_EQ(item(st, 5).valueText, "High level");
    st = onDevice("QZR-D33");  // family 16: item 5 list 4
    setValue(st, 0x0810);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    EXPECT_EQ(item(st, 5).valueText, "Error");
    EXPECT_TRUE(st.options.optionStatus.error);
}

TEST(UpdateOption, FamilyZeroHidesEverything) {
    MainState st;
    st.device.optionItemSelector.fill(0);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    for (const OptionItemView& v : st.options.items) {
        EXPECT_FALSE(v.captionVisible);
        EXPECT_EQ(v.valueText, "Blank");
    }
    EXPECT_EQ(st.options.optionStatus, OptionStatus{});
}

TEST(OptionEditor, BuildsListsAndSelections) {
    MainState st = onDevice("QZR-D10");
    setValue(st, 0x0006 | 0x00F0 | 0x0200 | 0x0800 | 0x3000);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    OptionEditor ed(st.optionBytes, st.optionsChanged, st.options, st.device, *st.ui);
    const auto& items = ed.items();
    EXPECT_TRUE(items[0].present);
    EXPECT_EQ(items[0].caption, "OSC Type:");
    EXPECT_EQ(items[0].texts, (std::vector<std::string>{"Blank", "HF", "XT", "LF", "RC"}));
    EXPECT_EQ(items[0].selected, 2);
    EXPECT_EQ(items[2].selected, 0);  // OST blank
    EXPECT_EQ(items[5].selected, 0);  // security "Disable"
    EXPECT_FALSE(items[1].present);
    EXPECT_EQ(items[1].selected, -1);

    // Choosing a value really clears the item's bits; none of the others move.
    ed.select(1, 3);  // LF 0x9 over XT 0x6
    EXPECT_EQ(ed.workingValue() & 0xF, 0x9u);
    ed.select(3, 2);  // 20mS
    EXPECT_EQ(ed.workingValue() & 0xF0, 0x90u);
    ed.select(6, 1);  // security Enable: bit 13 cleared
    EXPECT_EQ(ed.workingValue() & 0x2000, 0u);
    ed.select(4, -1);  // a typed text that picks nothing: the item's blank state
    EXPECT_EQ(ed.workingValue() & 0x0300, 0x0300u);

    // Nothing reaches the option bytes before OK.
    EXPECT_EQ(st.optionBytes[0], 0x76);
    ed.accept();
    EXPECT_TRUE(st.optionsChanged);
    finishOptionEditor(st);
    EXPECT_FALSE(st.optionsChanged);
    EXPECT_EQ(item(st, 1).valueText, "LF");
    EXPECT_EQ(item(st, 3).valueText, "20mS");
    EXPECT_EQ(item(st, 4).valueText, "Blank");
    EXPECT_EQ(item(st, 6).valueText, "Enable");
}

TEST(OptionEditor, OkWithoutChangeReappliesTheMasks) {
    MainState st = onDevice("QZR-D10");
    st.optionBytes = {0x7F, 0x7F, 0x7F, 0x7F};  // not yet masked
    OptionEditor ed(st.optionBytes, st.optionsChanged, st.options, st.device, *st.ui);
    ed.accept();
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x7F, 0x7F, 0x7F, 0x7F}));  // passes through
    finishOptionEditor(st);
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{0x7F, 0x5F, 0x00, 0x00}));

    // Cancel: no accept, nothing refreshed.
    st.optionBytes = {1, 2, 3, 4};
    OptionEditor cancelled(st.optionBytes, st.optionsChanged, st.options, st.device, *st.ui);
    cancelled.select(1, 1);
    finishOptionEditor(st);
    EXPECT_EQ(st.optionBytes, (std::array<uint8_t, 4>{1, 2, 3, 4}));
}

TEST(OptionEditor, OneChoiceChangesBothWords) {
    MainState st = onDevice("QZR-D19");
    ClearOption(st);
    OptionEditor ed(st.optionBytes, st.optionsChanged, st.options, st.device, *st.ui);
    ed.select(1, 5);  // "Internal RC"
    ed.accept();
    finishOptionEditor(st);
    EXPECT_EQ(optionValue(st.optionBytes) & 0x0C00000Fu, 0x0800000Au);
    EXPECT_EQ(item(st, 1).valueText, "Internal RC");
}

}  // namespace
}  // namespace qzr
