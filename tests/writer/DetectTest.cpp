// Opening the port, the writer check and the connection messages.
#include <gtest/gtest.h>

#include <cerrno>

#include "app/MainState.h"
#include "app/PortCommands.h"
#include "core/writer/VirtualWriter.h"
#include "core/writer/WriterDetect.h"
#include "core/writer/WriterProtocol.h"
#include "support/RecordingUi.h"
#include "writer/ScriptedLink.h"

namespace qzr {
namespace {

class DetectTest : public ::testing::Test {
  protected:
    DetectTest() : box(std::make_shared<VirtualWriter>(clock)) {
        st.ui = &ui;
        st.link.clock = &clock;
        st.link.portFactory = [this](const std::string& entry) {
            entries.push_back(entry);
            return box;
        };
        st.link.portEntry = "Com3";
        st.device.writerClass = 2;
    }
    LinkResult check() {
        WriterLink w(st.link, st.image);
        return w.CheckWriter(st.device, *st.ui, *st.views);
    }

    FakeClock clock{100};
    std::shared_ptr<VirtualWriter> box;
    MainState st;
    test::RecordingUi ui;
    std::vector<std::string> entries;
};

TEST_F(DetectTest, ProbeAnswersAgainstTheDevicesWriterClass) {
    CheckComPort(st.link, st.device, *st.ui);
    box->setKind(VirtualWriter::Kind::Class1);
    EXPECT_EQ(check(), lrWrongWriter);
    st.device.writerClass = 1;
    EXPECT_EQ(check(), lrClass1Writer);
    box->setKind(VirtualWriter::Kind::Class2);
    EXPECT_EQ(check(), lrWrongWriter);
    st.device.writerClass = 2;
    EXPECT_EQ(check(), lrClass2Writer);
    EXPECT_TRUE(st.link.writerIdText.empty());
    EXPECT_TRUE(ui.log.empty());
}

TEST_F(DetectTest, IdentifyingWriterIsReadOnceThenAnsweredAtOnce) {
    CheckComPort(st.link, st.device, *st.ui);
    EXPECT_EQ(check(), lrIdWriter);
    EXPECT_EQ(st.link.writerIdText, " HRP021A V3.30");
    EXPECT_EQ(st.link.writerVersion, "V3.30");
    EXPECT_EQ(box->idRequestCount(), 1);
    // V3.30 >= V3.26: the handshake is switched off and the port re-opened without flow control.
    EXPECT_EQ(st.link.handshake, "None");
    EXPECT_EQ(box->flowControl(), TFlowControl::fcNone);
    EXPECT_EQ(box->openCount(), 2);
    EXPECT_TRUE(ui.log.empty());

    EXPECT_EQ(check(), lrIdWriter);
    EXPECT_EQ(box->idRequestCount(), 1);
}

TEST_F(DetectTest, FirmwareMessagesAndHandshakeSwitchByModelAndVersion) {
    struct Case {
        const char* id;
        bool switched;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {" HRP021 V3.25", false, {"Please update the firmware"}},
        {" HRP021 V3.27", true, {"Please update the firmware"}},
        {" HRP021 V3.28", true, {}},
        {" HRP021 V3.3", true, {}},
        {" HRP021 none", false, {"Please update the firmware"}},
        {"HRP011 V3.20", false, {"This writer can not use with this version software"}},
        {"HRP011 V3.21", true, {"This writer can not use with this version software"}},
        {"XYZ V9.99", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        ui.log.clear();
        st.link.writerVersion.clear();
        st.link.handshake = "CTS";
        box->setIdText(c.id);
        CheckComPort(st.link, st.device, *st.ui);
        EXPECT_EQ(check(), lrIdWriter);
        EXPECT_EQ(st.link.writerIdText, c.id);
        EXPECT_EQ(st.link.handshake, c.switched ? "None" : "CTS");
        EXPECT_EQ(ui.log, c.messages);
    }
}

TEST_F(DetectTest, AnIdentificationWithoutVersionIsReadAgainNextTime) {
    box->setIdText(" HRP021");
    CheckComPort(st.link, st.device, *st.ui);
    EXPECT_EQ(check(), lrIdWriter);
    EXPECT_EQ(st.link.writerVersion, "");
    EXPECT_EQ(check(), lrIdWriter);
    EXPECT_EQ(box->idRequestCount(), 2);
    EXPECT_EQ(ui.log.size(), 2u);
}

TEST_F(DetectTest, TimeOutsSetPortErrorAndForgetTheVersion) {
    CheckComPort(st.link, st.device, *st.ui);
    EXPECT_EQ(check(), lrIdWriter);
    VirtualWriter::Faults f;
    f.silenceAfter = 0;
    box->setFaults(f);
    EXPECT_EQ(check(), lrTimeout);
    EXPECT_TRUE(st.link.portError);
    EXPECT_EQ(st.link.writerVersion, "");
    EXPECT_EQ(st.link.writerIdText, " HRP021A V3.30");  // kept until the next identification

    box->setFaults({});
    CheckComPort(st.link, st.device, *st.ui);
    EXPECT_FALSE(st.link.portError);
    EXPECT_EQ(check(), lrIdWriter);
    EXPECT_EQ(box->idRequestCount(), 2);

    f = {};
    f.ctsOff = true;
    box->setFaults(f);
    EXPECT_EQ(check(), lrTimeout);
    EXPECT_TRUE(st.link.portError);
}

TEST_F(DetectTest, AnUnexpectedAnswerIsABadReplyAndForgetsTheVersion) {
    CheckComPort(st.link, st.device, *st.ui);
    EXPECT_EQ(check(), lrIdWriter);
    VirtualWriter::Faults f;
    f.wrongReply = 0x42;
    box->setFaults(f);
    EXPECT_EQ(check(), lrBadReply);
    EXPECT_EQ(st.link.writerVersion, "");
    EXPECT_FALSE(st.link.portError);
}

// A person who takes longer than a second to dismiss the firmware message must not turn a good check into
// a time-out (which would set portError and show the message again at every check).
class SlowUi final : public UserInterface {
  public:
    explicit SlowUi(FakeClock& c) : clock(c) {}
    void message(const std::string& text) override {
        log.push_back(text);
        clock.advanceTicks(500);
    }
    void error(const std::string& text) override { log.push_back(text); }
    bool askYesNo(const std::string&) override { return false; }
    bool askAbortIgnore(const std::string&) override { return false; }
    FakeClock& clock;
    std::vector<std::string> log;
};

TEST_F(DetectTest, ReadingTheFirmwareMessageSlowlyIsNotATimeOut) {
    SlowUi slow(clock);
    st.ui = &slow;
    box->setIdText(" HRP021 V3.10");
    CheckComPort(st.link, st.device, *st.ui);
    EXPECT_EQ(check(), lrIdWriter);
    EXPECT_FALSE(st.link.portError);
    EXPECT_EQ(st.link.writerVersion, "V3.10");
    EXPECT_EQ(slow.log, std::vector<std::string>{"Please update the firmware"});
}

TEST_F(DetectTest, OpenErrorsNameThePortInCapitalsAndThePermissionRemedy) {
    VirtualWriter::Faults f;
    f.openError = ENOENT;
    box->setFaults(f);
    CheckComPort(st.link, st.device, *st.ui);
    EXPECT_TRUE(st.link.portError);
    EXPECT_EQ(st.link.portName, "COM3");
    EXPECT_EQ(ui.log, std::vector<std::string>{"Open  COM3 Port Error!!"});

    ui.log.clear();
    f.openError = EACCES;
    box->setFaults(f);
    CheckComPort(st.link, st.device, *st.ui);
    ASSERT_EQ(ui.log.size(), 2u);
    EXPECT_EQ(ui.log[0], "Open  COM3 Port Error!!");
    EXPECT_NE(ui.log[1].find("dialout"), std::string::npos);

    // The next command re-opens first.
    box->setFaults({});
    EXPECT_TRUE(PreparePort(st));
    EXPECT_FALSE(st.link.portError);
}

TEST_F(DetectTest, PortChangeMessages) {
    EXPECT_EQ(PortChanged(st), lrIdWriter);
    EXPECT_EQ(ui.log, std::vector<std::string>{"Connect OK!"});
    EXPECT_EQ(box->openCount(), 2);  // opened, then re-opened by the handshake switch

    ui.log.clear();
    st.link.handshake = "CTS";  // the handshake alone: no re-open, just a new check
    EXPECT_EQ(PortChanged(st), lrIdWriter);
    EXPECT_EQ(box->openCount(), 2);
    EXPECT_EQ(box->flowControl(), TFlowControl::fcNone);
    EXPECT_EQ(ui.log, std::vector<std::string>{"Connect OK!"});

    ui.log.clear();
    box->setKind(VirtualWriter::Kind::Class1);
    EXPECT_EQ(PortChanged(st), lrWrongWriter);
    EXPECT_EQ(ui.log, std::vector<std::string>{"Connect Fail!"});

    ui.log.clear();
    VirtualWriter::Faults f;
    f.silenceAfter = 0;
    box->setFaults(f);
    EXPECT_EQ(PortChanged(st), lrTimeout);
    EXPECT_EQ(ui.log, std::vector<std::string>{"Connect COM3 Timeout!!"});

    // After the time-out the port is re-opened before the next check.
    ui.log.clear();
    box->setFaults({});
    box->setKind(VirtualWriter::Kind::Class2);
    EXPECT_EQ(PortChanged(st), lrClass2Writer);
    EXPECT_EQ(box->openCount(), 3);
}

TEST_F(DetectTest, StartupShowsOnlyFailures) {
    StartupConnection(st);
    EXPECT_TRUE(ui.log.empty());
    box->setKind(VirtualWriter::Kind::Class1);
    StartupConnection(st);
    EXPECT_EQ(ui.log, std::vector<std::string>{"Connect Fail!"});
}

TEST_F(DetectTest, AStoppedCheckLeavesTheLinkStateAlone) {
    CheckComPort(st.link, st.device, *st.ui);
    VirtualWriter::Faults f;
    f.ctsOff = true;
    box->setFaults(f);
    std::atomic<bool> stop{true};
    WriterLink w(st.link, st.image, &stop);
    EXPECT_EQ(w.CheckWriter(st.device, *st.ui, *st.views), lrStopped);
    EXPECT_FALSE(st.link.portError);
}

TEST(DetectReopen, AFailedReopenAfterTheHandshakeSwitchIsNoConnection) {
    MainState st;
    test::RecordingUi ui;
    st.ui = &ui;
    FakeClock clock;
    st.link.clock = &clock;
    auto port = std::make_shared<test::ScriptedLink>(clock);
    st.link.portFactory = [&](const std::string&) { return port; };
    st.link.portEntry = "Com2";
    port->failOpenFrom = 2;
    port->replyAfter(1, {0xB4});
    std::vector<uint8_t> id;
    for (char c : std::string(" HRP021A V3.30")) id.push_back(static_cast<uint8_t>(c));
    id.push_back(0xB8);
    port->replyAfter(2, id);
    EXPECT_EQ(PortChanged(st), lrTimeout);
    EXPECT_EQ(port->written, (std::vector<uint8_t>{0xA0, 0xAD}));
    EXPECT_EQ(port->flow, TFlowControl::fcNone);
    EXPECT_TRUE(st.link.portError);
    EXPECT_EQ(st.link.writerVersion, "");
    EXPECT_EQ(ui.log, (std::vector<std::string>{"Open  COM2 Port Error!!", "Connect COM2 Timeout!!"}));
}

TEST(PortDefaults, VirtualEntryMakesAVirtualWriterThatKeepsItsChip) {
    MainState st;
    FakeClock clock;
    st.link.clock = &clock;
    st.link.portEntry = "virtual";
    CheckComPort(st.link, st.device, *st.ui);
    ASSERT_FALSE(st.link.portError);
    auto box = std::dynamic_pointer_cast<VirtualWriter>(st.link.Comm1);
    ASSERT_TRUE(box);
    EXPECT_EQ(st.link.portName, "VIRTUAL");
    EXPECT_TRUE(box->chip().flash);  // like the selected QZR-D01
    CheckComPort(st.link, st.device, *st.ui);
    EXPECT_EQ(st.link.Comm1, box);
}

}  // namespace
}  // namespace qzr
