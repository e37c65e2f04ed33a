// The writer at work from the main window, headless, on the virtual writer: the progress dialog, Read IC,
// the download, the serial-number dialog and the engineering panel, worked by object name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "core/journal/ProductionJournal.h"
#include "core/options/Options.h"
#include "core/writer/VirtualWriter.h"
#include "gui/GuiTestApp.h"
#include "gui/common/FileChooser.h"
#include "gui/common/ModalRunner.h"
#include "gui/common/UiCallQueue.h"
#include "gui/main/MainForm.h"
#include "gui/operations/ProgressDialog.h"
#include "gui/writer/ReadForm.h"
#include "support/JournalProject.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace {

using qzr::gui::TfmProgramVerify;
using qzr::gui::TMainForm;

using qzr::test::child;
using qzr::test::progressRunEnded;
using qzr::test::waitFor;

bool isRed(QLabel* label) {
    return label->palette().color(QPalette::WindowText) == QColor(Qt::red);
}

QKeyEvent key(int code, const QString& text = {}) {
    return QKeyEvent(QEvent::KeyPress, code, Qt::NoModifier, text);
}

// Types `text` into a field key by key, as the keyboard does.
void type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    for (QChar c : text) {
        QKeyEvent press = key(0, QString(c));
        QApplication::sendEvent(edit, &press);
    }
}

// Answers the file dialogs with one choice.
struct Chooser final : qzr::gui::FileChooser {
    std::optional<qzr::gui::FileChoice> answer;
    qzr::gui::FileDialogRequest asked;
    std::optional<qzr::gui::FileChoice> openFile(QWidget*, const qzr::gui::FileDialogRequest& r) override {
        asked = r;
        return answer;
    }
    std::optional<qzr::gui::FileChoice> saveFile(QWidget*, const qzr::gui::FileDialogRequest& r) override {
        asked = r;
        return answer;
    }
};

// The modal dialogs run their real exec() loops; `script` answers them from inside.
using ScriptedDialogs = qzr::test::ModalAnswers;

// A started main window on the virtual writer with QZR-D10 and a program whose words are all RTWI
// instructions (so the serial number may go anywhere), options set.
struct Window {
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    std::unique_ptr<TMainForm> form;

    // `folder`: the start-up folder (default: a fresh one of the window's own).
    explicit Window(const char* port = "virtual:new-chip", const char* device = "QZR-D10",
                    const std::filesystem::path& folder = {}) {
        qzr::test::guiApp();
        ::setenv("QZR_COM1", port, 1);
        root = folder.empty() ? dir.path() : folder;
        form = std::make_unique<TMainForm>(nullptr, root.string(), &ui);
        EXPECT_TRUE(qzr::test::showStarted(*form));
        form->findChild<QComboBox*>("ComboBox2")->setCurrentText(device);
        std::string bin;
        const int words = form->state().device.programWordCount();
        for (int n = 0; n < words; ++n) bin += {static_cast<char>(n & 0xFF), 0x31};
        const auto path = root / "prog.bin";
        std::ofstream(path, std::ios::binary) << bin;
        form->loadFile(QString::fromStdString(path.string()));
        form->state().optionBytes = {0x12, 0x5F, 0x7F, 0x7F};
        qzr::UpdateOption(form->state().options, form->state().optionBytes, form->state().device,
                          form->state().image, *form->state().ui, *form->state().views);
        form->state().options.optionStatus = {};  // as the option editor leaves valid options
        ui.log.clear();
    }
    ~Window() { form->close(); }
    std::filesystem::path root;
    qzr::MainState& st() { return form->state(); }
    qzr::VirtualWriter& box() { return dynamic_cast<qzr::VirtualWriter&>(*st().link.Comm1); }
    QString label(const char* name) { return child<QLabel>(*form, name)->text(); }
    void trigger(const char* name) { child<QAction>(*form, name)->trigger(); }
    void doubleClick(const char* name) {
        QWidget* w = child<QWidget>(*form, name);
        QMouseEvent e(QEvent::MouseButtonDblClick, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
};

TEST(WriterWindows, AutoProgramChipAfterChipWithSerialNumbers) {
    Window w;
    // The serial number through its dialog: 2 bytes at 0010, sequential from 12FE by 3.
    ScriptedDialogs serial([](QDialog& d) {
        EXPECT_EQ(d.objectName(), "TSerialNoSetupForm");
        type(child<QLineEdit>(d, "StartAddress"), "1g0");
        EXPECT_EQ(child<QLineEdit>(d, "StartAddress")->text(), "10");
        type(child<QLineEdit>(d, "NoOfByte"), "2");
        type(child<QLineEdit>(d, "StartValue"), "12fe");
        type(child<QLineEdit>(d, "Increment"), "3");
        child<QPushButton>(d, "BtnOK")->click();
    });
    w.trigger("SerialNoMode1");
    EXPECT_EQ(w.label("Label1"), "Enable");
    EXPECT_EQ(w.label("stSerialNo"), " 12FE");
    EXPECT_FALSE(child<QAction>(*w.form, "ID3")->isEnabled());
    EXPECT_FALSE(child<QAction>(*w.form, "tbProgramMemory")->isEnabled());

    QStringList passCounts;
    ScriptedDialogs progress([&](QDialog& d) {
        EXPECT_EQ(d.objectName(), "TfmProgramVerify");
        for (int chip = 1; chip <= 3; ++chip) {
            ASSERT_TRUE(progressRunEnded(d)) << chip;
            EXPECT_FALSE(isRed(child<QLabel>(d, "lbDataMsg")))
                << child<QLabel>(d, "lbDataMsg")->text().toStdString();
            EXPECT_TRUE(child<QLabel>(d, "lbChipInfo")->text().startsWith(QString("Chip %1: ").arg(chip)));
            passCounts << w.label("Label13");  // the main window follows while the dialog is open
            if (chip < 3) {
                ASSERT_TRUE(child<QPushButton>(d, "btContinue")->isEnabled());
                if (chip == 1) {
                    child<QPushButton>(d, "btContinue")->click();
                } else {
                    QKeyEvent enter = key(Qt::Key_Return);
                    QApplication::sendEvent(&d, &enter);  // Enter repeats too
                }
            }
        }
        child<QPushButton>(d, "btExit")->click();
    });
    w.trigger("AutoProgram1");  // F8
    EXPECT_EQ(progress.shown, 1);
    EXPECT_EQ(passCounts, (QStringList{"1", "2", "3"}));
    EXPECT_EQ(w.label("Label13"), "3");
    EXPECT_EQ(w.label("stSerialNo"), " 1307") << "12FE advanced three times by 3";
    // The third chip carries 1304.
    const qzr::VirtualChip chip = w.box().chip();
    EXPECT_EQ(chip.programWord(0x10), 0x3113u);  // 13
    EXPECT_EQ(chip.programWord(0x11), 0x3104u);  // 04
    EXPECT_TRUE(w.ui.log.empty()) << w.ui.log.front();
}

TEST(WriterWindows, VerifyFailureIsRedWithExitOnlyAndReadIcFillsTheGrid) {
    Window w("virtual");
    ScriptedDialogs dialogs([&](QDialog& d) {
        if (d.objectName() == "TReadForm") {
            auto& read = dynamic_cast<qzr::gui::TReadForm&>(d);
            auto* ok = child<QPushButton>(d, "Button1");
            if (dialogs.shown == 3) {
                // The read waits for the silent writer for up to a second: meanwhile there is no way out.
                if (!ok->isEnabled()) {
                    d.reject();
                    EXPECT_TRUE(d.isVisible()) << "no way out while reading";
                }
            }
            ASSERT_TRUE(waitFor([&] {
                read.flush();
                return ok->isEnabled();
            }));
            if (dialogs.shown == 3) {
                EXPECT_TRUE(isRed(child<QLabel>(d, "Label1")));
                w.box().setFaults({});
            } else {
                EXPECT_EQ(child<QLabel>(d, "Label3")->text(), "Read Data OK");
                EXPECT_EQ(child<QProgressBar>(d, "CGauge1")->value(), 100);
            }
            ok->click();
            return;
        }
        ASSERT_TRUE(progressRunEnded(d));
        if (w.st().operation.operationType == qzr::OperationType::Verify) {
            QStringList red;
            for (const char* name :
                 {"lbEraseMsg", "lbBlankCheckMsg", "lbIDMsg", "lbDataMsg", "lbEEMsg", "lbOptionMsg"})
                if (isRed(child<QLabel>(d, name))) red << child<QLabel>(d, name)->text();
            EXPECT_EQ(red, QStringList{"Checksum verify fail!!"});
            EXPECT_FALSE(child<QPushButton>(d, "btContinue")->isEnabled());
        }
        child<QPushButton>(d, "btExit")->click();
    });
    w.trigger("Veryfy1");  // the blank chip does not hold the program
    w.trigger("AutoProgram1");
    EXPECT_EQ(w.label("Label13"), "1");
    w.trigger("ClearBuffer1");
    qzr::VirtualWriter::Faults silent;
    silent.silenceAfter = 0;
    w.box().setFaults(silent);
    w.trigger("ReadIC1");  // the writer says nothing: a time-out
    EXPECT_FALSE(w.st().icReadDone);
    w.trigger("ReadIC1");
    EXPECT_TRUE(w.st().icReadDone);
    EXPECT_EQ(qzr::wordValue(w.st().image.programWord(5)), 0x3105u) << "the chip's words are back";
    auto* grid = child<QWidget>(*w.form, "TMDIChild")->findChild<QTableView*>("StringGrid1");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->model()->index(0, 5).data().toString(), "3105") << "and in the rebuilt grid";
    EXPECT_EQ(dialogs.shown, 4);
}

TEST(WriterWindows, ClosingMidRunLeavesNoWorkerAndThePortUsable) {
    Window w("virtual");
    bool stillRunning = true;
    ScriptedDialogs dialogs([&](QDialog& d) {
        auto& p = dynamic_cast<TfmProgramVerify&>(d);
        if (dialogs.shown == 1) {
            // The run waits for the silent writer (for up to a second, so on a loaded machine it may have
            // ended already; the close must leave no worker either way).
            d.reject();  // the close box
            stillRunning = p.session().running();
            return;
        }
        ASSERT_TRUE(progressRunEnded(d));
        auto* line = child<QLabel>(d, "lbBlankCheckMsg");
        EXPECT_FALSE(isRed(line)) << line->text().toStdString();
        child<QPushButton>(d, "btExit")->click();
    });
    qzr::VirtualWriter::Faults silent;
    silent.silenceAfter = 0;
    w.box().setFaults(silent);
    w.trigger("AutoProgram1");
    EXPECT_FALSE(stillRunning);
    w.box().setFaults({});
    w.trigger("BlankCheckAction");  // F5
    EXPECT_EQ(dialogs.shown, 2);
    EXPECT_FALSE(w.st().link.portError);
    EXPECT_TRUE(w.ui.log.empty()) << w.ui.log.front();
}

TEST(WriterWindows, FlashTestRepeatsUntilExit) {
    Window w("virtual:new-chip", "QZR-D01");
    ScriptedDialogs unlock([](QDialog& d) {
        type(child<QLineEdit>(d, "MaskEdit1"), "qpl5186");
        child<QPushButton>(d, "btOK")->click();
    });
    w.doubleClick("Label3");
    ASSERT_TRUE(child<QWidget>(*w.form, "Panel2")->isVisible());
    child<QPushButton>(*w.form, "FlashPgmTest")->click();
    EXPECT_EQ(child<QPushButton>(*w.form, "FlashPgmTest")->text(), "Disable");
    ScriptedDialogs progress([&](QDialog& d) {
        auto& p = dynamic_cast<TfmProgramVerify&>(d);
        auto* timer = child<QTimer>(d, "Timer1");
        ASSERT_TRUE(progressRunEnded(d));
        EXPECT_TRUE(timer->isActive());
        EXPECT_EQ(timer->interval(), 1000);
        ASSERT_TRUE(waitFor([&] { return p.chipCount() == 3; })) << "the timer restarts every run";
        ASSERT_TRUE(progressRunEnded(d));
        child<QPushButton>(d, "btExit")->click();
        EXPECT_FALSE(timer->isActive());
    });
    w.trigger("AutoProgram1");
    EXPECT_EQ(w.label("Label13"), "3");
}

TEST(WriterWindows, FirmwareMessageFromTheWorkerIsShown) {
    Window w("virtual");
    w.box().setIdText(" HRP021A V3.20");
    w.st().link.writerVersion.clear();  // identified again at the next check
    ScriptedDialogs dialogs([&](QDialog& d) {
        ASSERT_TRUE(progressRunEnded(d));
        child<QPushButton>(d, "btExit")->click();
    });
    w.trigger("BlankCheckAction");
    ASSERT_TRUE(waitFor([&] { return !w.ui.log.empty(); }));
    EXPECT_EQ(w.ui.log.front(), "Please update the firmware");
}

TEST(WriterWindows, DownloadSendsTheStartRecordAndTheChosenDevices) {
    Window w("virtual");
    ScriptedDialogs dialogs([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Device select");
        auto* list = child<QListWidget>(d, "CheckListBox1");
        EXPECT_EQ(list->count(), 59);
        child<QPushButton>(d, "btnDefult")->click();
        EXPECT_EQ(child<QLabel>(d, "StaticText1")->text(), "16");
        child<QPushButton>(d, "btnClear")->click();
        list->item(3)->setCheckState(Qt::Checked);
        list->item(9)->setCheckState(Qt::Checked);
        EXPECT_EQ(child<QLabel>(d, "StaticText1")->text(), "2");
        child<QPushButton>(d, "DownLoad")->click();
        EXPECT_EQ(child<QProgressBar>(d, "CGauge1")->value(), 100);
        child<QPushButton>(d, "Exit")->click();
    });
    w.box().clearRecord();
    w.trigger("DownLoad1");
    const auto records = w.box().downloads();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0][1], 0xFF);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[1][2]), 7), "QZR-D04");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&records[2][2]), 7), "QZR-D10");
    EXPECT_EQ(w.st().device.deviceName, "QZR-D10") << "the selected device stays";
    EXPECT_TRUE(w.ui.log.empty()) << w.ui.log.front();
}

TEST(WriterWindows, SerialDialogFieldRulesAndTheRtwiRefusal) {
    Window w("virtual");
    w.st().image.setProgramWord(0x21, qzr::splitWord(0x2000));  // not an RTWI word
    ScriptedDialogs dialogs([&](QDialog& d) {
        auto* start = child<QLineEdit>(d, "StartAddress");
        type(start, "2x0");
        child<QLineEdit>(d, "Increment")->setFocus();  // leaving pads
        EXPECT_EQ(start->text(), "0020");
        type(child<QLineEdit>(d, "NoOfByte"), "2");
        auto* value = child<QLineEdit>(d, "StartValue");
        type(value, "ffff");
        child<QRadioButton>(d, "RadioGroup1_1")->setChecked(true);  // pseudo-random
        EXPECT_FALSE(child<QLineEdit>(d, "Increment")->isEnabled());
        // Enter on the field presses OK: the field is left first (all ones become zeros), then checked.
        value->setFocus();
        QKeyEvent enter = key(Qt::Key_Return);
        QApplication::sendEvent(value, &enter);
        EXPECT_EQ(value->text(), "0000");
        EXPECT_TRUE(d.isVisible()) << "refused: the dialog stays";
        child<QPushButton>(d, "BtnDisable")->click();
        child<QPushButton>(d, "BtnAbort")->click();
    });
    w.trigger("SerialNoMode1");
    ASSERT_EQ(w.ui.log.size(), 1u);
    EXPECT_EQ(w.ui.log[0], "Error: The program memory is not 'RTWI'. Serial No. will be disable!");
    EXPECT_EQ(w.label("Label1"), "Disable");
    EXPECT_TRUE(child<QAction>(*w.form, "ID3")->isEnabled())
        << "Disable Serial Mode enables the menu entries";
}

TEST(WriterWindows, QtpFileButtonWritesTheNumbers) {
    Window w("virtual");
    Chooser chooser;
    w.form->setFileChooser(&chooser);
    const std::string path = (w.dir.path() / "parts").string();
    chooser.answer = qzr::gui::FileChoice{QString::fromStdString(path), 2};
    ScriptedDialogs dialogs([&](QDialog& d) {
        type(child<QLineEdit>(d, "StartAddress"), "100");
        type(child<QLineEdit>(d, "StartValue"), "05");
        type(child<QLineEdit>(d, "NoOfPart"), "3");
        child<QPushButton>(d, "BtnQtpFile")->click();
        EXPECT_FALSE(d.isVisible()) << "written: the dialog closes";
    });
    w.trigger("SerialNoMode1");
    EXPECT_EQ(chooser.asked.filters, (QStringList{"Config files (*.cfg)", "QTP files (*.txt)"}));
    EXPECT_EQ(qzr::test::readFile(path + ".txt"),
              ":020100000531C7\r\n:020100000631C6\r\n:020100000731C5\r\n:00000001FF");
    EXPECT_EQ(w.label("stSerialNo"), "08");
    EXPECT_EQ(w.label("Label1"), "Disable");
    w.form->setFileChooser(nullptr);
}

TEST(WriterWindows, AccessCodeOpensThePanelAndPulseWidthsAreCorrected) {
    Window w("virtual");
    std::string entry = "wrong";
    ScriptedDialogs dialogs([&](QDialog& d) {
        EXPECT_EQ(d.windowTitle(), "Password");
        type(child<QLineEdit>(d, "MaskEdit1"), QString::fromStdString(entry));
        child<QPushButton>(d, "btOK")->click();
    });
    w.doubleClick("Label3");
    EXPECT_FALSE(child<QWidget>(*w.form, "Panel2")->isVisible()) << "a wrong code says nothing";
    entry = "QPL5186";
    w.doubleClick("Label3");
    EXPECT_TRUE(child<QWidget>(*w.form, "Panel2")->isVisible());
    EXPECT_TRUE(child<QAction>(*w.form, "ForceWrite")->isVisible());

    auto* pulse = child<QLineEdit>(*w.form, "PulseWidth");
    auto* erase = child<QLineEdit>(*w.form, "EraseWidth");
    pulse->setText("");
    erase->setText("300");
    EXPECT_EQ(pulse->text(), "5");
    EXPECT_EQ(erase->text(), "255");
    EXPECT_EQ(w.st().panel.eraseWidthText, "255");
    child<QPushButton>(*w.form, "QtpSim")->click();
    EXPECT_EQ(child<QPushButton>(*w.form, "QtpSim")->text(), "Enable") << "no reaction without serial mode";

    w.doubleClick("Label3");  // hidden again without asking
    EXPECT_FALSE(child<QWidget>(*w.form, "Panel2")->isVisible());
    EXPECT_FALSE(child<QAction>(*w.form, "ForceWrite")->isVisible());
    EXPECT_EQ(dialogs.shown, 2);
    EXPECT_TRUE(w.ui.log.empty()) << w.ui.log.front();
}

// Program Memory and both auto-programs ask about a blank reset word; Abort opens no dialog. The other
// commands never ask.
TEST(WriterWindows, ResetAddressQuestion) {
    Window w("virtual");
    w.trigger("ClearBuffer1");
    ScriptedDialogs dialogs([&](QDialog& d) {
        ASSERT_TRUE(progressRunEnded(d));
        child<QPushButton>(d, "btExit")->click();
    });
    for (const char* command : {"AutoProgram1", "AutoProgramwithoutBlankCheck1", "ProgramMemory2",
                                "tbAutoProgram", "BlankCheckAction", "tbVerify"})
        w.trigger(command);
    EXPECT_EQ(dialogs.shown, 2) << "only blank check and verify ran";
    EXPECT_EQ(w.ui.log, std::vector<std::string>(4, "? Reset address (03FFh) is blank!!"));
}

// Calls made on a worker arrive in order; a run of progress texts for one line arrives as its last one;
// a call made on the UI thread afterwards comes after all of them.
TEST(WriterWindows, QueuedCallsKeepTheirOrderAndCoalesceProgress) {
    qzr::test::guiApp();
    QObject context;
    qzr::gui::UiCallQueue queue(&context);
    QStringList seen;
    std::thread worker([&] {
        queue.post([&] { seen << "Program data"; });
        for (int a = 0; a < 5000; ++a) queue.post([&seen, a] { seen << QString::number(a); }, 4);
        queue.post([&] { seen << "Program data OK"; });
    });
    worker.join();
    queue.post([&] { seen << "restart"; });
    ASSERT_TRUE(waitFor([&] { return seen.size() == 4; }));
    EXPECT_EQ(seen, (QStringList{"Program data", "4999", "Program data OK", "restart"}));
}

TEST(WriterWindows, AboutAndVersionWindows) {
    Window w("virtual");
    QStringList texts;
    ScriptedDialogs dialogs([&](QDialog& d) {
        for (const char* name : {"Version", "PhysMem", "OSVersion", "FirmwareVersion"})
            if (auto* l = d.findChild<QLabel*>(name)) texts << l->text();
        if (d.objectName() == "TVersionInfo") {
            EXPECT_EQ(d.windowTitle(), "VersionInfo");
            EXPECT_TRUE(child<QPlainTextEdit>(d, "Memo1")->isReadOnly());
            child<QPushButton>(d, "btExit")->click();
        } else {
            EXPECT_EQ(d.windowTitle(), "About QZR Writer");
            child<QPushButton>(d, "OKButton")->click();
        }
    });
    w.trigger("HelpAbout1");
    ASSERT_EQ(texts.size(), 4);
    EXPECT_EQ(texts[0], "Version : V2.77");
    EXPECT_TRUE(texts[1].endsWith(" KB"));
    EXPECT_EQ(texts[3], "HRP021A V3.30");
    qzr::VirtualWriter::Faults silent;
    silent.silenceAfter = 0;
    w.box().setFaults(silent);
    w.trigger("HelpAbout1");
    EXPECT_EQ(texts.back(), "Unknown") << "a writer that does not answer now";
    w.trigger("VersionInfo1");
    EXPECT_EQ(dialogs.shown, 3);
}

}  // namespace

namespace {

// The production journal from the window: the lot's counts beside the serial number, the question before a
// start value reuses numbers, the journal settings, and chips a stopped window left unfinished.
TEST(WriterWindows, TheJournalFromTheWindow) {
    Window w;
    auto setSerial = [&](const QString& start) {
        ScriptedDialogs serial([&](QDialog& d) {
            type(child<QLineEdit>(d, "StartAddress"), "10");
            type(child<QLineEdit>(d, "NoOfByte"), "2");
            type(child<QLineEdit>(d, "StartValue"), start);
            child<QPushButton>(d, "BtnOK")->click();
        });
        w.trigger("SerialNoMode1");
    };
    setSerial("0100");
    EXPECT_EQ(w.label("lbLotCounts"), "0 / 0 / 0");
    {
        ScriptedDialogs progress([&](QDialog& d) {
            ASSERT_TRUE(progressRunEnded(d));
            child<QPushButton>(d, "btContinue")->click();
            ASSERT_TRUE(progressRunEnded(d));
            child<QPushButton>(d, "btExit")->click();
        });
        w.trigger("AutoProgram1");
    }
    EXPECT_EQ(w.label("lbLotCounts"), "2 / 0 / 0");
    EXPECT_TRUE(std::filesystem::exists(w.dir.path() / "qzr-journal.db"));

    // The same start value again: asked; No continues the lot.
    w.ui.log.clear();
    w.ui.answer(false);
    setSerial("0100");
    EXPECT_EQ(w.ui.log,
              (std::vector<std::string>{"? Serial No. 0100-0101 are in the journal. Use them again?",
                                        "Serial No. continues at 0102: 0100-0101 are in the journal"}));
    EXPECT_EQ(w.label("stSerialNo"), " 0102");
    EXPECT_FALSE(w.st().journal.reuseSerial);

    // The settings dialog names another journal and voids failed numbers; both are user settings.
    const std::string other = (w.dir.path() / "other.db").string();
    {
        ScriptedDialogs config([&](QDialog& d) {
            ASSERT_EQ(d.objectName(), "TfmConfig");
            child<QLineEdit>(d, "edJournal")->setText(QString::fromStdString(other));
            child<QCheckBox>(d, "cbVoidFailed")->setChecked(true);
            child<QPushButton>(d, "btExit")->click();
        });
        w.trigger("Config1");
    }
    EXPECT_EQ(w.st().journal.path, other);
    EXPECT_TRUE(w.st().journal.voidFailed);
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "QZR", "QZR Writer");
    EXPECT_EQ(settings.value("productionJournal").toString().toStdString(), other);
    EXPECT_TRUE(settings.value("voidFailedNumbers").toBool());
    settings.remove("productionJournal");
    settings.remove("voidFailedNumbers");

    // A window that stopped while it programmed 0102 (its reservation left behind) and is started again.
    {
        std::string error;
        auto journal = qzr::openProductionJournal((w.dir.path() / "qzr-journal.db").string(), error);
        ASSERT_TRUE(journal) << error;
        qzr::ChipRecord chip;
        chip.station = "line-3";
        chip.process = qzr::currentProcess();
        chip.process.pid = 0x7FFFFFF0;  // no such process
        chip.record.serialNumber = "0102";
        ASSERT_EQ(journal->reserve(nullptr, {}, chip), "");
    }
    qzr::test::RecordingUi ui;
    TMainForm again(nullptr, w.dir.path().string(), &ui);
    again.show();
    waitFor([&] { return !ui.log.empty(); });
    EXPECT_EQ(ui.log, (std::vector<std::string>{
                          "Serial No. 0102 was being programmed when the program stopped; it is voided"}));
    again.close();
}

}  // namespace

namespace {

// The serial number through its dialog: two bytes at 0010 from `start`.
void setSerial(Window& w, const QString& start) {
    ScriptedDialogs serial([&](QDialog& d) {
        type(child<QLineEdit>(d, "StartAddress"), "10");
        type(child<QLineEdit>(d, "NoOfByte"), "2");
        type(child<QLineEdit>(d, "StartValue"), start);
        child<QPushButton>(d, "BtnOK")->click();
    });
    w.trigger("SerialNoMode1");
}

// The child of the window kill test (it does nothing unless started by that test): a window on the project
// folder QZR_WINDOW_KILL_FOLDER programs up to six chips one after another, Continue after each, and marks
// its progress on the error stream (a dot per slice of the event loop while a chip runs, a line per chip)
// so that its parent can kill it anywhere.
TEST(WindowKill, ChildProgramsChipsUntilKilled) {
    const char* folder = std::getenv("QZR_WINDOW_KILL_FOLDER");
    if (folder == nullptr) GTEST_SKIP() << "started by WindowKill.NoNumberTwiceWhereverTheWindowIsKilled";
    Window w("virtual:new-chip", "QZR-D10", folder);
    setSerial(w, "0100");  // the same project again: the journal moves it on (the question answered No)
    ScriptedDialogs progress([&](QDialog& d) {
        auto& p = dynamic_cast<TfmProgramVerify&>(d);
        for (int chip = 1; chip <= 6; ++chip) {
            const bool ended = waitFor([&] {
                std::fputc('.', stderr);
                std::fflush(stderr);
                const bool done = !p.session().running();
                p.flush();
                return done && p.findChild<QPushButton*>("btExit")->isEnabled();
            });
            std::fprintf(stderr, "\nchip %d\n", chip);
            std::fflush(stderr);
            auto* next = p.findChild<QPushButton*>("btContinue");
            if (!ended || !next->isEnabled()) break;
            next->click();
        }
        child<QPushButton>(d, "btExit")->click();
    });
    w.trigger("AutoProgram1");
}

// The window killed (SIGKILL) at random points, between chips and in the middle of one, and started again
// on the same project: no number on two chips that passed, no voided number used again, every reservation
// ends pass, fail or interrupted.
TEST(WindowKill, NoNumberTwiceWhereverTheWindowIsKilled) {
    qzr::test::TempDir dir;
    std::mt19937 random(7);
    int killed = 0;
    std::size_t dotsPerStart = 1;
    constexpr int kStarts = 24;
    for (int start = 0; start <= kStarts; ++start) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::dup2(fds[1], 2);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::setenv("QZR_WINDOW_KILL_FOLDER", dir.path().c_str(), 1);
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            ::execl("/proc/self/exe", "test_gui", "--gtest_filter=WindowKill.ChildProgramsChipsUntilKilled",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // How many dots a start prints for its six chips depends on the machine and its load: the first start
        // runs to its end and gives the range of the kill points of the others, and a start that ends before
        // its kill point narrows it. The last start is not killed either: it finds what the one before left.
        const bool whole = start == 0 || start == kStarts;
        const std::size_t killAfter =
            whole ? ~std::size_t{0} : std::uniform_int_distribution<std::size_t>(1, dotsPerStart)(random);
        std::size_t dots = 0;
        bool sent = false;
        char buffer[256];
        for (;;) {
            pollfd pfd{fds[0], POLLIN, 0};
            if (::poll(&pfd, 1, 60000) <= 0) {
                ADD_FAILURE() << "the window did not end in time";
                ::kill(child, SIGKILL);
                break;
            }
            const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            for (ssize_t i = 0; i < n; ++i) dots += buffer[i] == '.';
            if (!sent && dots >= killAfter) {
                ::kill(child, SIGKILL);
                sent = true;
                ++killed;
            }
        }
        ::close(fds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!sent) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "start " << start;
        }
        if (!sent && !whole) dotsPerStart = std::min(dotsPerStart, std::max<std::size_t>(dots, 1));
        if (start == 0) dotsPerStart = std::max<std::size_t>(dots, 1);
    }
    EXPECT_GE(killed, kStarts / 3);  // the kill points were reached, not missed

    std::string error;
    auto journal = qzr::openProductionJournal((dir.path() / "qzr-journal.db").string(), error);
    ASSERT_TRUE(journal) << error;
    std::vector<qzr::ChipRecord> chips;
    ASSERT_EQ(journal->chips(chips), "");
    qzr::JournalTally tally = qzr::checkNoNumberTwice(chips);
    std::size_t passed = 0;
    for (const auto& [lot, numbers] : tally.passed) passed += numbers.size();
    EXPECT_GT(passed, 20u);
    EXPECT_GT(tally.outcomes["interrupted"], 2);
}

}  // namespace
