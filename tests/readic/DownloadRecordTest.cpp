#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/writer/Download.h"
#include "support/RecordingUi.h"

namespace qzr {
namespace {

std::vector<int> defaultRows() {
    std::vector<int> rows;
    for (int i = 0; i < kDeviceCount; ++i) {
        if (GetDownload(i) == 1) rows.push_back(i);
    }
    return rows;
}

TEST(DownloadRecord, StartRecordIsA9FfZerosThen0201) {
    DownloadRecord expected{};
    expected[0] = 0xA9;
    expected[1] = 0xFF;
    expected[30] = 0x02;
    expected[31] = 0x01;
    EXPECT_EQ(downloadStartRecord(), expected);
}

TEST(DownloadRecord, DeviceRecordCarriesTheLookedUpFields) {
    MainState st;
    ASSERT_GE(GetICInfo(st, "QZR-D01"), 0);
    const DeviceFields& d = st.device;
    const DownloadRecord r = downloadDeviceRecord(d, 3);
    EXPECT_EQ(r[0], 0xA9);
    EXPECT_EQ(r[1], 3);
    EXPECT_EQ(std::string(r.begin() + 2, r.begin() + 18), "QZR-D01         ");
    EXPECT_EQ(r[18], d.romLastAddress >> 8);
    EXPECT_EQ(r[19], d.eepromLastAddress >> 8);
    EXPECT_EQ(r[20], d.algorithmCode);
    EXPECT_EQ(r[21], d.modeBits);
    EXPECT_EQ(r[22], d.writerParam);
    EXPECT_EQ(r[23], d.deviceFlags);
    EXPECT_EQ(r[24], d.coreType);
    EXPECT_EQ(r[25], d.eepromLastAddress & 0xFF);
    EXPECT_EQ(r[26], 0);  // one option word
    EXPECT_EQ(r[27], 0);
    EXPECT_EQ(r[28], 0);
    EXPECT_EQ(r[29], 0);
    EXPECT_EQ(r[30], 2);
    EXPECT_EQ(r[31], std::accumulate(r.begin() + 1, r.begin() + 31, 0u) & 0xFF);

    ASSERT_GE(GetICInfo(st, "QZR-D11"), 0);  // two option words
    EXPECT_EQ(downloadDeviceRecord(st.device, 1)[26], 1);
}

TEST(DownloadRecord, ExactBytesOfAHandBuiltDevice) {
    DeviceFields d;
    d.deviceName = "ABCDEFGHIJKL";  // 12 characters: four blanks follow
    d.romLastAddress = 0x1FFF;
    d.eepromLastAddress = 0x01FF;
    d.algorithmCode = 0x35;
    d.modeBits = 0xD0;
    d.writerParam = 0x3F;
    d.deviceFlags = 0x06;
    d.coreType = 2;
    d.optionByteCount = 4;
    const DownloadRecord expected{0xA9, 0x02, 'A',  'B',  'C',  'D',  'E',  'F',  'G',  'H',  'I',
                                  'J',  'K',  'L',  0x20, 0x20, 0x20, 0x20, 0x1F, 0x01, 0x35, 0xD0,
                                  0x3F, 0x06, 0x02, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00};
    DownloadRecord got = downloadDeviceRecord(d, 2);
    unsigned sum = 0;
    for (int i = 1; i <= 30; ++i) sum += expected[i];
    DownloadRecord withSum = expected;
    withSum[31] = static_cast<uint8_t>(sum);
    EXPECT_EQ(got, withSum);

    // A longer name is cut at 16 characters; the bytes after it are untouched by the name.
    d.deviceName = "0123456789ABCDEFGHIJ";
    got = downloadDeviceRecord(d, 1);
    EXPECT_EQ(std::string(got.begin() + 2, got.begin() + 18), "0123456789ABCDEF");
    EXPECT_EQ(got[18], 0x1F);
}

TEST(DeviceSelection, OpensWithEveryDeviceAndNothingChecked) {
    DeviceSelection sel;
    ASSERT_EQ(sel.rowCount(), kDeviceCount);
    EXPECT_EQ(sel.name(0), "QZR-D01");
    EXPECT_EQ(sel.name(kDeviceCount - 1), "QZR-D59");
    EXPECT_EQ(sel.checkedCount(), 0);
    EXPECT_EQ(sel.countText(), "0");
}

TEST(DeviceSelection, SeventeenthCheckIsRefusedAndUncheckingCounts) {
    test::RecordingUi ui;
    DeviceSelection sel;
    for (int row = 0; row < 16; ++row) EXPECT_TRUE(sel.clickCheck(row, true, ui));
    EXPECT_EQ(sel.countText(), "16");
    EXPECT_TRUE(ui.log.empty());

    EXPECT_FALSE(sel.clickCheck(20, true, ui));
    EXPECT_FALSE(sel.isChecked(20));
    EXPECT_EQ(sel.checkedCount(), 16);
    EXPECT_EQ(ui.log, std::vector<std::string>{"Already selected 16 devices"});

    EXPECT_FALSE(sel.clickCheck(3, false, ui));
    EXPECT_EQ(sel.checkedCount(), 15);
    EXPECT_TRUE(sel.clickCheck(20, true, ui));
    EXPECT_EQ(sel.checkedCount(), 16);

    // A click that does not change the row, or a row outside the list, does not move the counter.
    EXPECT_TRUE(sel.clickCheck(20, true, ui));
    EXPECT_FALSE(sel.clickCheck(3, false, ui));
    EXPECT_FALSE(sel.clickCheck(-1, true, ui));
    EXPECT_FALSE(sel.clickCheck(kDeviceCount, true, ui));
    EXPECT_EQ(sel.checkedCount(), 16);
    EXPECT_EQ(ui.log.size(), 1u);

    sel.clear();
    EXPECT_EQ(sel.countText(), "0");
    for (int row = 0; row < sel.rowCount(); ++row) EXPECT_FALSE(sel.isChecked(row));
}

TEST(DeviceSelection, SelectDefaultChecksTheFirstSixteenOfferedDevices) {
    const std::vector<int> offered = defaultRows();
    ASSERT_EQ(offered.size(), 18u);

    test::RecordingUi ui;
    DeviceSelection sel;
    // A manual selection beforehand, partly outside the default list.
    for (int row = 0; row < 10; ++row) sel.clickCheck(row, true, ui);
    sel.clickCheck(58, true, ui);
    sel.selectDefault();
    EXPECT_EQ(sel.checkedCount(), 16);
    EXPECT_EQ(sel.countText(), "16");
    for (int row = 0; row < sel.rowCount(); ++row) {
        const auto pos = std::find(offered.begin(), offered.end(), row);
        const bool expected = pos != offered.end() && pos - offered.begin() < 16;
        EXPECT_EQ(sel.isChecked(row), expected) << row;
    }
    // The selection is full: a further check by hand is refused.
    EXPECT_FALSE(sel.clickCheck(offered[16], true, ui));
    EXPECT_EQ(ui.log, std::vector<std::string>{"Already selected 16 devices"});
}

}  // namespace
}  // namespace qzr
