// The "Download" of device data to the virtual writer: records on the wire, writer checks and messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/DeviceCommands.h"
#include "app/DownloadCommand.h"
#include "app/MainState.h"
#include "core/writer/Download.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterDetect.h"
#include "core/writer/WriterProtocol.h"
#include "readic/TapPort.h"
#include "support/RecordingUi.h"

namespace qzr {
namespace {

struct RecordingDownloadView final : DownloadView {
    void highlightRow(int row) override { rows.push_back(row); }
    void setGauge(int percent) override { gauge.push_back(percent); }
    std::vector<int> rows;
    std::vector<int> gauge;
};

class DownloadTest : public ::testing::Test {
  protected:
    DownloadTest() : box(std::make_shared<VirtualWriter>(clock)), tap(std::make_shared<test::TapPort>(box)) {
        st.ui = &ui;
        st.link.clock = &clock;
        st.link.portEntry = "virtual";
        st.link.portFactory = [this](const std::string&) { return tap; };
        selectDevice(st, "QZR-D01");
        CheckComPort(st.link, st.device, *st.ui);
        ui.log.clear();
    }

    bool download() {
        WriterLink writer(st.link, st.image);
        return DownLoadClick(st, writer, selection, view);
    }

    FakeClock clock{200};
    std::shared_ptr<VirtualWriter> box;
    std::shared_ptr<test::TapPort> tap;
    MainState st;
    test::RecordingUi ui;
    DeviceSelection selection;
    RecordingDownloadView view;
};

TEST_F(DownloadTest, NothingCheckedSendsOnlyTheStartRecord) {
    EXPECT_TRUE(download());
    ASSERT_EQ(box->downloads().size(), 1u);
    EXPECT_EQ(box->downloads()[0], downloadStartRecord());
    EXPECT_TRUE(ui.log.empty());
    EXPECT_EQ(view.gauge.back(), 100);
    EXPECT_EQ(view.rows.size(), static_cast<std::size_t>(kDeviceCount));
}

TEST_F(DownloadTest, DefaultSelectionSendsSixteenNumberedRecordsInTableOrder) {
    selection.selectDefault();
    const DeviceFields before = st.device;
    EXPECT_TRUE(download());
    EXPECT_TRUE(ui.log.empty());

    const auto records = box->downloads();
    ASSERT_EQ(records.size(), 17u);
    EXPECT_EQ(records[0], downloadStartRecord());
    uint8_t sequence = 1;
    for (int row = 0; row < selection.rowCount(); ++row) {
        if (!selection.isChecked(row)) continue;
        MainState probe;
        ASSERT_GE(GetICInfo(probe, selection.name(row)), 0);
        EXPECT_EQ(records[sequence], downloadDeviceRecord(probe.device, sequence)) << selection.name(row);
        ++sequence;
    }
    // The working fields are those of the selected device again.
    EXPECT_EQ(st.device.deviceName, before.deviceName);
    EXPECT_EQ(st.device.programByteCount, before.programByteCount);

    // The gauge rises with the rows and ends at 100.
    EXPECT_EQ(view.gauge.front(), 0);
    EXPECT_TRUE(std::is_sorted(view.gauge.begin(), view.gauge.end()));
    EXPECT_EQ(view.gauge.back(), 100);
}

TEST_F(DownloadTest, OnlyTheDownloadModelWithRecentFirmwareIsAccepted) {
    struct Case {
        const char* device;
        VirtualWriter::Kind kind;
        const char* idText;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"QZR-D01", VirtualWriter::Kind::Class1, "", {"Writer Error (1, 6)!!"}},
        {"QZR-D10",
         VirtualWriter::Kind::Class1,
         "",
         {"This writer does not support devices download function"}},
        {"QZR-D01",
         VirtualWriter::Kind::Class2,
         "",
         {"This writer does not support devices download function"}},
        {"QZR-D01",
         VirtualWriter::Kind::Identifying,
         " HRP021B V3.30",
         {"This writer does not support devices download function"}},
        {"QZR-D01",
         VirtualWriter::Kind::Identifying,
         " HRP021A V3.08",
         {"Please update the firmware", "Please update the writer firmware"}},
    };
    for (const Case& c : cases) {
        selectDevice(st, c.device);
        st.link.writerIdText.clear();
        st.link.writerVersion.clear();
        box->setKind(c.kind);
        box->setIdText(c.idText);
        box->clearRecord();
        ui.log.clear();
        selection.selectDefault();
        EXPECT_FALSE(download()) << c.idText;
        EXPECT_EQ(ui.log, c.messages) << c.idText;
        EXPECT_TRUE(box->downloads().empty());
    }
}

TEST_F(DownloadTest, SilentWriterIsAConnectTimeout) {
    VirtualWriter::Faults f;
    f.ctsOff = true;
    box->setFaults(f);
    EXPECT_FALSE(download());
    EXPECT_EQ(ui.log, std::vector<std::string>{"Connect Timeout!!"});
}

TEST_F(DownloadTest, AnswersOtherThanDoneEndTheDownloadWithTheirStage) {
    // The start record answered 0xB5.
    tap->onRecord = [this](const std::vector<uint8_t>& record) {
        tap->transform = nullptr;
        if (record[1] == 0xFF) tap->transform = [](int, uint8_t) { return std::vector<uint8_t>{0xB5}; };
    };
    selection.selectDefault();
    EXPECT_FALSE(download());
    EXPECT_EQ(ui.log, std::vector<std::string>{"Writer Error (2, 11)!!"});

    // The third device record answered 0xB5: the writer keeps the records before it.
    ui.log.clear();
    box->clearRecord();
    tap->transform = nullptr;
    tap->onRecord = [this](const std::vector<uint8_t>& record) {
        tap->transform = nullptr;
        if (record[1] == 3) tap->transform = [](int, uint8_t) { return std::vector<uint8_t>{0xB5}; };
    };
    EXPECT_FALSE(download());
    EXPECT_EQ(ui.log, std::vector<std::string>{"Writer Error (3, 11)!!"});
    EXPECT_EQ(box->downloads().size(), 4u);  // the start record, devices 1 and 2, and 3 as the box took it
    EXPECT_EQ(st.device.deviceName, "QZR-D01");

    // A device record that is not answered.
    ui.log.clear();
    tap->transform = nullptr;
    tap->onRecord = [this](const std::vector<uint8_t>& record) {
        tap->transform = nullptr;
        if (record[1] == 1) tap->transform = [](int, uint8_t) { return std::vector<uint8_t>{}; };
    };
    EXPECT_FALSE(download());
    EXPECT_EQ(ui.log, std::vector<std::string>{"Connect Timeout!!"});
}

}  // namespace
}  // namespace qzr
