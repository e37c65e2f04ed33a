// The README's "program your first chip" in the window, step by step as a user follows it: the window on
// the emulated writer, the device picked, the example program loaded, the options chosen in their editor
// (opened by a double-click on the option group), Auto Program to a passed chip. With QZR_SCREENSHOT_DIR set
// it saves a picture of each step (docs/quickstart-*.png).
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <cstdlib>

#include "gui/GuiTestApp.h"
#include "gui/main/MainForm.h"
#include "gui/operations/ProgressDialog.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace {

using qzr::test::picture;
using qzr::test::waitFor;

QString text(QObject& parent, const char* name) {
    auto* l = parent.findChild<QLabel*>(name);
    return l ? l->text() : QString("<no %1>").arg(name);
}

// The option list of the editor whose caption reads `caption`.
QComboBox* optionList(QDialog& d, const QString& caption) {
    for (int k = 1; k <= 13; ++k) {
        auto* c = d.findChild<QLabel*>(QString("stOption%1").arg(k));
        if (c && c->isVisible() && c->text() == caption)
            return d.findChild<QComboBox*>(QString("cbOption%1").arg(k));
    }
    return nullptr;
}

TEST(QuickStart, TheReadmeWindowStepsProgramTheExampleChip) {
    qzr::test::guiApp();
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    qzr::test::ScriptedChooser chooser;

    // 1. Started on the emulated writer: Com1, and the status bar names the port and the writer.
    ::setenv("QZR_COM1", "virtual", 1);
    qzr::gui::TMainForm form(nullptr, dir.path().string(), &ui);
    form.setFileChooser(&chooser);
    ASSERT_TRUE(qzr::test::showStarted(form));
    EXPECT_EQ(form.findChild<QComboBox*>("ComboBox1")->currentText(), "Com1");
    EXPECT_EQ(text(form, "lbStatusPort"), "Port: COM1 (virtual writer)");
    EXPECT_FALSE(text(form, "lbStatusWriter").isEmpty());
    picture(form, "quickstart-1-started.png");

    // 2. QZR-D10 in the "Device :" list.
    form.findChild<QComboBox*>("ComboBox2")->setCurrentText("QZR-D10");
    ASSERT_TRUE(waitFor([&] { return !form.writerBusy(); }));
    EXPECT_EQ(form.state().deviceListText, "QZR-D10");
    picture(form, "quickstart-2-device.png");

    // 3. File > Load Data, counter.mhx: the program in its window, its checksum beside "Memory:".
    chooser.answers.push_back(qzr::gui::FileChoice{QZR_SOURCE_DIR "/data/examples/counter.mhx", 1});
    form.findChild<QAction*>("FileOpen1")->trigger();
    auto* program = form.findChild<QWidget*>("TMDIChild");
    ASSERT_NE(program, nullptr);
    EXPECT_TRUE(program->isVisible());
    EXPECT_TRUE(program->windowTitle().endsWith("counter.mhx")) << program->windowTitle().toStdString();
    EXPECT_EQ(text(form, "stChecksum"), "F1E5");
    picture(form, "quickstart-3-loaded.png");

    // 4. A double-click on the option group opens the editor; the options of the README, then OK.
    int editors = 0;
    {
        qzr::test::ModalAnswers answer([&](QDialog& d) {
            ++editors;
            ASSERT_EQ(d.objectName(), "TEditOption");
            const std::pair<const char*, const char*> choices[] = {{"OSC Type:", "XT"},
                                                                   {"OST:", "20mS"},
                                                                   {"WDT:", "Disable"},
                                                                   {"PED:", "Disable"},
                                                                   {"Security:", "Disable"}};
            for (const auto& [caption, value] : choices) {
                QComboBox* list = optionList(d, caption);
                ASSERT_NE(list, nullptr) << caption;
                const int index = list->findText(value);
                ASSERT_GE(index, 0) << caption << " has no " << value;
                list->setCurrentIndex(index);
            }
            picture(d, "quickstart-4-options.png");
            d.findChild<QPushButton*>("bbOk")->click();
        });
        auto* group = form.findChild<QGroupBox*>("gbOptions");
        ASSERT_NE(group, nullptr);
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(8, 8), group->mapToGlobal(QPointF(8, 8)),
                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(group, &doubleClick);
    }
    EXPECT_EQ(editors, 1);
    EXPECT_EQ(form.state().options.optionValueText, "16 4B 00 00") << "the options of the example project";

    // 5. Functions > Auto Program: blank check, program, verify; PASS, and the pass count goes to 1.
    QString verdict;
    {
        qzr::test::ModalAnswers answer([&](QDialog& d) {
            ASSERT_EQ(d.objectName(), "TfmProgramVerify");
            ASSERT_TRUE(qzr::test::progressRunEnded(d));
            verdict = text(d, "lbVerdict");
            picture(d, "quickstart-5-programmed.png");
            d.findChild<QPushButton*>("btExit")->click();
        });
        form.findChild<QAction*>("AutoProgram1")->trigger();
    }
    EXPECT_EQ(verdict, "PASS");
    EXPECT_EQ(text(form, "Label13"), "1");
    EXPECT_TRUE(ui.log.empty()) << ui.log.front();
    form.setFileChooser(nullptr);
    form.close();
    ::unsetenv("QZR_COM1");
}

}  // namespace
