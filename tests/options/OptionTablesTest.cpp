#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/MainState.h"
#include "core/device/DeviceCatalogue.h"
#include "core/options/OptionTables.h"
#include "core/options/Options.h"
#include "support/RecordingUi.h"

namespace qzr {
namespace {

// Walks every item table: marker first and last, every list a header, at least two values and a marker;
// masks cover their values; no value twice in a list (the first match wins, so a repeat could never show).
TEST(OptionTables, EveryListIsWellFormed) {
    const int expectedLists[13] = {15, 5, 11, 8, 11, 4, 1, 1, 1, 2, 1, 2, 1};
    for (int item = 1; item <= 13; ++item) {
        SCOPED_TRACE("item " + std::to_string(item));
        const auto table = optionItemTable(item);
        ASSERT_GE(table.size(), 2u);
        EXPECT_EQ(table.front().value, kOptionMarker);
        EXPECT_EQ(table.back().value, kOptionMarker);
        ASSERT_EQ(optionListCount(item), expectedLists[item - 1]);
        for (int list = 1; list <= optionListCount(item); ++list) {
            SCOPED_TRACE("list " + std::to_string(list));
            const auto entries = optionList(item, list);
            ASSERT_GE(entries.size(), 4u);
            const uint32_t mask = static_cast<uint32_t>(entries.front().value);
            EXPECT_NE(mask, 0u);
            EXPECT_EQ(mask & ~0x3FFF3FFFu, 0u) << "mask outside the two option words";
            EXPECT_EQ(std::string(entries.back().text), "Error");
            EXPECT_EQ(entries.back().value, kOptionMarker);
            std::set<int32_t> seen;
            for (std::size_t i = 1; i + 1 < entries.size(); ++i) {
                const OptionEntry& e = entries[i];
                EXPECT_NE(e.value, kOptionMarker);
                EXPECT_EQ(static_cast<uint32_t>(e.value) & ~mask, 0u) << e.text;
                EXPECT_TRUE(seen.insert(e.value).second) << e.text;
                EXPECT_FALSE(std::string(e.text).empty());
            }
            // The blank entry, where there is one, is the first value and sets every bit of the mask.
            if (std::string(entries[1].text) == "Blank") {
                EXPECT_EQ(static_cast<uint32_t>(entries[1].value), mask);
            } else {
                EXPECT_EQ(item, 6) << "only the security lists lack a blank entry";
            }
        }
        EXPECT_TRUE(optionList(item, optionListCount(item) + 1).empty());
        EXPECT_TRUE(optionList(item, 0).empty());
    }
    EXPECT_TRUE(optionItemTable(0).empty());
    EXPECT_TRUE(optionItemTable(14).empty());
}

// Every family row points at existing lists; every device's items lie within the bits its option masks
// allow, and the items of one device never share a bit.
TEST(OptionTables, FamiliesAndDevicesFitTheTables) {
    for (std::size_t f = 0; f < familyOptionTable().size(); ++f) {
        for (int item = 1; item <= 13; ++item) {
            const uint8_t s = familyOptionTable()[f][static_cast<std::size_t>(item - 1)];
            EXPECT_LE(s, optionListCount(item)) << "family " << f << " item " << item;
        }
    }
    for (const DeviceRecord& r : deviceTable()) {
        SCOPED_TRACE(r.name);
        const auto& selectors = familyOptionTable()[static_cast<std::size_t>(r.familyIndex)];
        uint32_t used = 0;
        for (int item = 1; item <= 13; ++item) {
            const OptionEntry* header = findOptionEntry(selectors, item, 0);
            if (selectors[static_cast<std::size_t>(item - 1)] == 0) {
                EXPECT_EQ(header, nullptr);
                continue;
            }
            ASSERT_NE(header, nullptr);
            const uint32_t mask = static_cast<uint32_t>(header->value);
            EXPECT_EQ(mask & ~(r.optionAndMask | r.optionOrMask), 0u) << "item " << item;
            EXPECT_EQ(mask & used, 0u) << "item " << item << " overlaps another item";
            used |= mask;
        }
        // Items of the second option word only on devices that have one.
        if ((r.optionAndMask >> 16) == 0) {
            EXPECT_EQ(used >> 16, 0u);
        }
    }
}

TEST(OptionTables, LookupByPosition) {
    std::array<uint8_t, 13> sel{};
    sel[0] = 14;
    const OptionEntry* h = findOptionEntry(sel, 1, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->value, 0x0C00000F);
    EXPECT_STREQ(h->text, "OSC Type:");
    EXPECT_STREQ(findOptionEntry(sel, 1, 6)->text, "Internal RC");
    EXPECT_EQ(findOptionEntry(sel, 1, 6)->value, 0x0800000A);
    // Past the last value: the list's end marker, however far.
    EXPECT_EQ(findOptionEntry(sel, 1, 7)->value, kOptionMarker);
    EXPECT_STREQ(findOptionEntry(sel, 1, 500)->text, "Error");
    EXPECT_EQ(findOptionEntry(sel, 1, -1), nullptr);
    EXPECT_EQ(findOptionEntry(sel, 2, 0), nullptr);
    EXPECT_EQ(findOptionEntry(sel, 0, 0), nullptr);
    EXPECT_EQ(findOptionEntry(sel, 14, 0), nullptr);

    sel[2] = 10;
    EXPECT_STREQ(findOptionEntry(sel, 3, 2)->text, "20ms");
    sel[2] = 1;
    EXPECT_STREQ(findOptionEntry(sel, 3, 3)->text, "20mS");
    sel[9] = 2;
    EXPECT_STREQ(findOptionEntry(sel, 10, 0)->text, "RTCC/PA4:");
}

TEST(OptionTables, GetOptDataKeepsTheLastResultWhenTheListIsMissing) {
    MainState st;
    test::RecordingUi ui;
    st.ui = &ui;
    st.device.optionItemSelector[1] = 9;  // item 2 has five lists
    st.options.lastLookupText = "before";
    st.options.lastLookupValue = 77;
    EXPECT_FALSE(GetOptData(st.options, st.device, *st.ui, 2, 0));
    EXPECT_EQ(st.options.lastLookupText, "before");
    EXPECT_EQ(st.options.lastLookupValue, 77);
    EXPECT_EQ(ui.log, std::vector<std::string>{"Can not find Option item"});
    st.device.optionItemSelector[1] = 5;
    EXPECT_TRUE(GetOptData(st.options, st.device, *st.ui, 2, 0));
    EXPECT_EQ(st.options.lastLookupText, "PB3 pin");
    EXPECT_EQ(st.options.lastLookupValue, 0x0C00);
}

}  // namespace
}  // namespace qzr
