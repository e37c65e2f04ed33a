// The gang window, found by object names and run in its real modal loop: three emulated writers programmed
// at once, one of them failing on its own.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <cstdlib>

#include "app/GangRun.h"
#include "core/journal/Lot.h"
#include "core/options/Options.h"
#include "core/writer/VirtualWriter.h"
#include "gui/GuiTestApp.h"
#include "gui/gang/GangForm.h"
#include "gui/main/MainForm.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace {

using qzr::test::picture;
using qzr::test::waitFor;

// Where the writers of the stopped round fall silent: in the middle of the program data.
constexpr int kSilentAfter = 3000;

QString socketText(QDialog& d, int k, const char* name) {
    auto* box = d.findChild<QWidget*>(QString("Socket%1").arg(k));
    auto* label = box ? box->findChild<QLabel*>(name) : nullptr;
    return label ? label->text() : QString("<no %1>").arg(name);
}

TEST(GangForm, ThreeSocketsAtOnceAndAFailureStaysItsSocketsOwn) {
    qzr::test::guiApp();
    ::setenv("QZR_COM1", "virtual:new-chip", 1);
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    qzr::gui::TMainForm form(nullptr, dir.path().string(), &ui);
    ASSERT_TRUE(qzr::test::showStarted(form));
    form.findChild<QComboBox*>("ComboBox2")->setCurrentText("QZR-D10");
    ASSERT_TRUE(waitFor([&] { return !form.writerBusy(); }));

    // A project with a two-byte serial number at 0x0010, numbered from 0100, and its journal.
    qzr::MainState& st = form.state();
    for (int n = 0; n < st.device.programWordCount(); ++n)
        st.image.setProgramWord(static_cast<std::size_t>(n),
                                qzr::splitWord(0x2000u + static_cast<unsigned>(n)));
    st.image.setProgramWord(0x10, qzr::splitWord(0x3100));
    st.image.setProgramWord(0x11, qzr::splitWord(0x3100));
    st.optionBytes = {0x12, 0x5F, 0x7F, 0x7F};
    qzr::CalChecksum(st.options, st.optionBytes, st.device, st.image, *st.views);
    st.options.optionStatus = {};
    st.serial.startAddress = 0x10;
    st.serial.wordCount = 2;
    st.serial.serialMode = true;
    qzr::setSerialValue(st.serial, 0x0100);
    st.journal.path = dir.file("journal.db");

    std::vector<QString> verdicts1, verdicts2, serials, stopped;
    QString round;
    qzr::test::ModalAnswers script([&](QDialog& d) {
        ASSERT_EQ(d.objectName(), "TGangForm");
        auto& gang = dynamic_cast<qzr::gui::TGangForm&>(d);
        for (int k = 1; k <= 3; ++k) {
            auto* box = d.findChild<QWidget*>(QString("Socket%1").arg(k));
            box->findChild<QCheckBox*>("cbOn")->setChecked(true);
            box->findChild<QComboBox*>("cbPort")->setCurrentText("virtual:new-chip");
        }
        ASSERT_NE(d.findChild<QWidget*>("Socket8"), nullptr);
        auto* start = d.findChild<QPushButton*>("btStart");
        ASSERT_TRUE(start->isDefault());  // Enter starts a round
        start->click();
        ASSERT_TRUE(waitFor([&] { return !gang.running(); }));
        for (int k = 1; k <= 3; ++k) {
            verdicts1.push_back(socketText(d, k, "lbVerdict"));
            serials.push_back(socketText(d, k, "lbSerial"));
        }
        EXPECT_EQ(socketText(d, 4, "lbVerdict"), "");  // off
        EXPECT_EQ(d.findChild<QWidget*>("Socket1")->findChild<QProgressBar*>("pbProgress")->value(), 100);
        picture(d, "gang-passed.png");

        // Socket 2's writer finds no chip: only socket 2 fails.
        dynamic_cast<qzr::VirtualWriter&>(*gang.gang()->link(2).Comm1).setFaults([] {
            qzr::WriterBox::Faults f;
            f.noChip = true;
            return f;
        }());
        start->click();
        ASSERT_TRUE(waitFor([&] { return !gang.running(); }));
        for (int k = 1; k <= 3; ++k) verdicts2.push_back(socketText(d, k, "lbVerdict"));
        EXPECT_EQ(socketText(d, 2, "lbStep"), "Nothing in socket or type error!!");
        round = d.findChild<QLabel*>("lbRound")->text();
        picture(d, "gang-socket-failed.png");
        EXPECT_TRUE(d.findChild<QLabel*>("lbLotCounts")->text().contains("5 / 1 / 0"))
            << d.findChild<QLabel*>("lbLotCounts")->text().toStdString();

        // A round seen while it runs, its writers fallen silent in the middle of the program data (they
        // would time out after a second); Stop ends every socket.
        for (int k = 1; k <= 3; ++k) {
            dynamic_cast<qzr::VirtualWriter&>(*gang.gang()->link(k).Comm1).setFaults([] {
                qzr::WriterBox::Faults f;
                f.silenceAfter = kSilentAfter;
                return f;
            }());
        }
        start->click();
        ASSERT_TRUE(gang.running());
        ASSERT_TRUE(waitFor([&] {
            for (int k = 1; k <= 3; ++k)
                if (socketText(d, k, "lbStep") != "Program data...") return false;
            return true;
        }));
        picture(d, "gang-running.png");
        d.findChild<QPushButton*>("btStop")->click();
        ASSERT_TRUE(waitFor([&] { return !gang.running(); }));
        for (int k = 1; k <= 3; ++k) stopped.push_back(socketText(d, k, "lbVerdict"));
    });
    form.actions().GangProgramming1->trigger();
    EXPECT_EQ(script.shown, 1);
    EXPECT_EQ(verdicts1, (std::vector<QString>{"PASS", "PASS", "PASS"}));
    EXPECT_EQ(serials, (std::vector<QString>{"0100", "0101", "0102"}));
    EXPECT_EQ(verdicts2, (std::vector<QString>{"PASS", "FAIL", "PASS"}));
    EXPECT_EQ(round, "Round: 2");
    EXPECT_EQ(stopped, (std::vector<QString>{"STOP", "STOP", "STOP"}));
    EXPECT_EQ(st.serial.passCountText, "5");
    // Round 3 took the failed chip's 0104 again, then 0106 and 0107; numbers of interrupted chips are held.
    EXPECT_EQ(qzr::serialValue(st.serial), 0x0108u);
    ::unsetenv("QZR_COM1");
}

}  // namespace
