// The desktop program as an operator meets it, headless on the virtual writer, with the real modal loops:
// a timer inside each loop answers the dialog that is up. Texts from files stay plain text, the password
// takes typing at once, a typed extension decides the saved format, a moved project finds its data, no line
// of the progress dialog is cut off, the file dialogs never ask about replacing, the EEPROM view shows its
// 16 columns, the Read gauge's percentage is readable, and the progress dialog gives a verdict.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextDocumentFragment>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/options/Options.h"
#include "core/serial_number/SerialNumber.h"
#include "gui/GuiTestApp.h"
#include "gui/common/AppIcon.h"
#include "gui/image/BufferViews.h"
#include "gui/main/MainForm.h"
#include "gui/operations/ProgressDialog.h"
#include "gui/writer/ReadForm.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace {

using qzr::gui::TfmProgramVerify;
using qzr::gui::TMainForm;

using qzr::test::child;
using qzr::test::picture;
using qzr::test::waitFor;

// Answers every modal window that comes up while it lives: a timer, running inside the modal loop, hands
// each new one to `script` once. Unlike qzr::test::ModalAnswers it also answers a box that a dialog brings
// up over itself (a file dialog's own question), and a script may leave a dialog to close from its own
// loop (a queued accept), so nothing is cancelled behind the script's back.
class EveryModal {
  public:
    explicit EveryModal(std::function<void(QWidget&)> script) : script_(std::move(script)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || handled_.contains(modal)) return;
            // A window that the script's own actions bring up (a box over a dialog) is answered too.
            handled_.append(modal);
            ++shown;
            script_(*modal);
        });
        timer_.start();
    }
    int shown = 0;

  private:
    std::function<void(QWidget&)> script_;
    QTimer timer_;
    QList<QPointer<QWidget>> handled_;
};

// The text of a message box.
QString boxText(QWidget& w) {
    auto* box = qobject_cast<QMessageBox*>(&w);
    return box ? box->text() : QString();
}

// A configuration file for QZR-D10 naming `dataFile`.
std::string configText(const std::string& dataFile) {
    return "Version: 2.77\r\nFile name: " + dataFile +
           "\r\nCOM port: Com1\r\nDevice name: QZR-D10\r\nSerial mode: 0 0 1 00 1 0 0\r\n"
           "Option code: 7F 7F 7F 7F\r\nID code: 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F "
           "7F 0F 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F \r\nKeep option: 0\r\nWrite EE in auto: 1\r\n"
           "Bypass IC check: 0\r\nSave EE Data: 0\r\nCustomer's Name: \r\nCustomer's project name: \r\n"
           "Frequency: \r\nOperating voltage:  ~ \r\nOperating current: \r\nSleep current: \r\n";
}

// A started main window on the virtual writer. With `boxes` the messages come up as message boxes
// (answered by an EveryModal), otherwise they are recorded.
struct Window {
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    std::unique_ptr<TMainForm> form;

    explicit Window(const char* device = "QZR-D10", bool boxes = false, const char* port = "virtual") {
        qzr::test::guiApp();
        ::setenv("QZR_COM1", port, 1);
        form = std::make_unique<TMainForm>(nullptr, dir.path().string(), boxes ? nullptr : &ui);
        EXPECT_TRUE(qzr::test::showStarted(*form)) << "the start-up writer check has ended";
        form->findChild<QComboBox*>("ComboBox2")->setCurrentText(device);
        ui.log.clear();
    }
    ~Window() {
        if (form->isVisible()) form->close();
    }
    qzr::MainState& st() { return form->state(); }
    void trigger(const char* name) { child<QAction>(*form, name)->trigger(); }
    // A .bin data file of the device's size, word n = `base` + n (within 14 bits).
    std::string program(const std::string& name, int base = 0x1000) {
        std::string bin;
        for (int n = 0; n < st().device.programWordCount(); ++n) {
            const int word = (base + n) & 0x3FFF;
            bin += {static_cast<char>(word & 0xFF), static_cast<char>(word >> 8)};
        }
        const std::string path = dir.file(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bin;
        return path;
    }
    void load(const std::string& path) { form->loadFile(QString::fromStdString(path)); }
    // Valid options, as the option editor leaves them.
    void setOptions() {
        st().optionBytes = {0x12, 0x5F, 0x7F, 0x7F};
        qzr::UpdateOption(st().options, st().optionBytes, st().device, st().image, *st().ui, *st().views);
        st().options.optionStatus = {};
    }
};

// The run of a progress dialog has ended (Exit usable, every queued line shown).
// Every line of the progress dialog that is shown fits its label (or wraps inside it).
QStringList clippedLines(QWidget& d) {
    QStringList clipped;
    for (QLabel* l : d.findChildren<QLabel*>()) {
        if (!l->isVisible() || l->text().isEmpty() || l->wordWrap()) continue;
        if (l->fontMetrics().horizontalAdvance(l->text()) > l->contentsRect().width())
            clipped << l->objectName() + ": " + l->text();
    }
    return clipped;
}

TEST(OperatorView, TextsFromFilesAreShownAsPlainText) {
    Window w("QZR-D10", true);
    // A configuration naming a "file" that is markup: the message names it literally.
    const std::string cfg = w.dir.file("evil.cfg");
    qzr::test::writeFile(cfg, configText("<img src=/nonexistent/zero.png><h1>big</h1>"));
    QStringList texts;
    QList<Qt::TextFormat> formats;
    EveryModal answers([&](QWidget& m) {
        auto* box = qobject_cast<QMessageBox*>(&m);
        ASSERT_NE(box, nullptr) << m.metaObject()->className();
        texts << box->text();
        for (QLabel* l : box->findChildren<QLabel*>())
            if (l->text() == box->text()) formats << l->textFormat();
        box->accept();
    });
    w.load(cfg);
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_TRUE(texts.join('\n').contains("<img src=/nonexistent/zero.png><h1>big</h1>"))
        << texts.join('\n').toStdString();
    ASSERT_EQ(formats.size(), texts.size());
    for (Qt::TextFormat f : formats) EXPECT_EQ(f, Qt::PlainText);
    // Whatever the main window shows from a file is plain text too.
    for (QLabel* l : w.form->findChildren<QLabel*>()) {
        if (Qt::mightBeRichText(l->text())) {
            EXPECT_EQ(l->textFormat(), Qt::PlainText) << l->objectName().toStdString();
        }
    }
}

TEST(OperatorView, PasswordTakesTypingAtOnceWhereverTheFieldWasClicked) {
    struct Case {
        const char* how;
        bool clickFirst;
        const char* typed;
        bool unlocks;
    };
    const Case cases[] = {
        {"typed at once", false, "qpl5186", true},
        {"after a click in the middle", true, "QPL5186", true},
        {"a wrong code", false, "QPL5187", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        Window w;
        EveryModal answers([&](QWidget& d) {
            EXPECT_EQ(d.objectName(), "TPasswordForm");
            auto* edit = child<QLineEdit>(d, "MaskEdit1");
            ASSERT_TRUE(waitFor([&] { return edit->hasFocus(); })) << "the field has the keyboard";
            if (c.clickFirst) {
                const QPointF middle(edit->width() / 2.0, edit->height() / 2.0);
                QMouseEvent press(QEvent::MouseButtonPress, middle, edit->mapToGlobal(middle), Qt::LeftButton,
                                  Qt::LeftButton, Qt::NoModifier);
                QApplication::sendEvent(edit, &press);
                QMouseEvent release(QEvent::MouseButtonRelease, middle, edit->mapToGlobal(middle),
                                    Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(edit, &release);
            }
            for (QChar ch : QString(c.typed)) {
                QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
                QApplication::sendEvent(QApplication::focusWidget(), &key);
            }
            child<QPushButton>(d, "btOK")->click();
        });
        QWidget* label3 = child<QWidget>(*w.form, "Label3");
        QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(2, 2), label3->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(label3, &dbl);
        EXPECT_EQ(answers.shown, 1);
        EXPECT_EQ(child<QWidget>(*w.form, "Panel2")->isVisible(), c.unlocks);
    }
}

TEST(OperatorView, TypedExtensionDecidesTheSavedFormat) {
    Window w;
    w.load(w.program("prog.bin", 0x2805));
    qzr::test::ScriptedChooser chooser;
    w.form->setFileChooser(&chooser);
    struct Case {
        const char* name;
        int filter;  // 1 HEX, 2 binary
        bool hex;
    };
    const Case cases[] = {
        {"typed.mhx", 2, true},   // the dialog starts on the binary filter
        {"typed.BIN", 1, false},  // a .bin name under the HEX filter
        {"plain", 1, true},       // no extension: the filter decides
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        chooser.answers.push_back(qzr::gui::FileChoice{QString::fromStdString(w.dir.file(c.name)), c.filter});
        w.trigger("SaveProgramMemory1");
        const std::string saved = qzr::test::readFile(w.dir.file(c.name));
        ASSERT_FALSE(saved.empty());
        EXPECT_EQ(saved.front() == ':', c.hex);
    }
    // The .mhx file loads back as the same program, without a question about its size.
    w.trigger("ClearBuffer1");
    w.ui.log.clear();
    w.load(w.dir.file("typed.mhx"));
    EXPECT_TRUE(w.ui.log.empty()) << w.ui.log.front();
    EXPECT_EQ(qzr::wordValue(w.st().image.programWord(0)), 0x2805);
    EXPECT_EQ(qzr::wordValue(w.st().image.programWord(7)), 0x280C);
    w.form->setFileChooser(nullptr);
}

TEST(OperatorView, MovedProjectFindsItsDataBesideTheConfiguration) {
    Window w;
    const std::string data = w.program("moved/proj/x.bin", 0x0123);
    // The configuration names its data file without a folder, as one written beside it by hand does.
    const std::string cfg = w.dir.file("moved/proj/q.cfg");
    qzr::test::writeFile(cfg, configText("x.bin"));
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(w.dir.path());  // started elsewhere
    w.ui.log.clear();
    w.load(cfg);
    std::filesystem::current_path(before);
    EXPECT_TRUE(w.ui.log.empty()) << w.ui.log.front();
    EXPECT_EQ(w.st().dataFileName, data);
    EXPECT_EQ(qzr::wordValue(w.st().image.programWord(1)), 0x0124);
    EXPECT_EQ(w.st().deviceListText, "QZR-D10");
}

TEST(OperatorView, ProgressDialogGivesAVerdictAndCutsNoLine) {
    Window w("QZR-D10");
    w.load(w.program("prog.bin", 0x2805));
    w.setOptions();
    w.st().operation.showProgramTime = true;
    struct Run {
        const char* command;
        const char* verdict;
        QColor colour;
        const char* longLine;  // the line that used to be cut off (its object name), or null
        const char* picture;
    };
    // The blank chip takes the program data; then its data are not blank (the longest red line); then the
    // whole program goes on without a blank check (the ID line with its time is the longest green one).
    const Run runs[] = {
        {"ProgramMemory2", "PASS", QColor(0x1B, 0x7F, 0x2E), nullptr, nullptr},
        {"BlankCheckAction", "FAIL", QColor(0xC4, 0x1E, 0x1E), "lbBlankCheckMsg", "progress-fail.png"},
        {"AutoProgramwithoutBlankCheck1", "PASS", QColor(0x1B, 0x7F, 0x2E), "lbIDMsg", "progress-pass.png"},
    };
    for (const Run& r : runs) {
        SCOPED_TRACE(r.command);
        EveryModal answers([&](QWidget& d) {
            ASSERT_EQ(d.objectName(), "TfmProgramVerify");
            auto* verdict = child<QLabel>(d, "lbVerdict");
            auto* step = child<QProgressBar>(d, "pbStep");
            ASSERT_TRUE(qzr::test::progressRunEnded(dynamic_cast<QDialog&>(d)));
            EXPECT_EQ(verdict->text(), r.verdict);
            EXPECT_EQ(verdict->palette().color(QPalette::Window), r.colour);
            EXPECT_TRUE(d.windowTitle().contains(r.verdict)) << d.windowTitle().toStdString();
            EXPECT_TRUE(d.windowTitle().startsWith(child<QLabel>(d, "stTitle")->text()));
            if (QString(r.verdict) == "PASS") {
                EXPECT_EQ(step->value(), step->maximum());
            }
            // What the dialog showed before is all still there.
            EXPECT_TRUE(child<QLabel>(d, "lbChipInfo")->text().startsWith("Chip 1: "));
            EXPECT_TRUE(child<QLabel>(d, "lbTotalTime")->isVisible());
            EXPECT_EQ(clippedLines(d), QStringList());
            if (r.longLine) {
                EXPECT_TRUE(child<QLabel>(d, r.longLine)->isVisible());
                EXPECT_GT(child<QLabel>(d, r.longLine)->text().size(), 40)
                    << child<QLabel>(d, r.longLine)->text().toStdString();
            }
            if (r.picture) picture(d, r.picture);
            child<QPushButton>(d, "btExit")->click();
        });
        w.trigger(r.command);
        EXPECT_EQ(answers.shown, 1);
    }
    EXPECT_EQ(w.ui.log, std::vector<std::string>{});
}

TEST(OperatorView, FileDialogsLeaveTheReplaceQuestionToTheProgram) {
    Window w;
    w.load(w.program("prog.bin"));
    const std::string existing = w.dir.file("old.bin");
    qzr::test::writeFile(existing, "old");
    QStringList asked;
    bool dontConfirm = false;
    EveryModal answers([&](QWidget& m) {
        if (auto* dialog = qobject_cast<QFileDialog*>(&m)) {
            dontConfirm = dialog->testOption(QFileDialog::DontConfirmOverwrite);
            dialog->selectFile(QString::fromStdString(existing));
            // From the dialog's own loop, where its check of an existing name runs (and would ask).
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            return;
        }
        asked << m.metaObject()->className() + QString(": ") + boxText(m);
        if (auto* box = qobject_cast<QMessageBox*>(&m)) {
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                yes->click();
            } else {
                box->accept();
            }
        }
    });
    w.trigger("SaveProgramMemory1");
    EXPECT_TRUE(dontConfirm);
    EXPECT_EQ(asked, QStringList()) << "saving the data memory replaces the file without asking";
    EXPECT_EQ(qzr::test::readFile(existing).size(), static_cast<std::size_t>(w.st().device.programByteCount));
}

TEST(OperatorView, EepromViewShowsAllSixteenColumns) {
    Window w("QZR-D02");  // 128 EEPROM bytes
    w.trigger("EEPROM1");
    auto* view = child<qzr::gui::TEEDataForm>(*w.form, "TEEDataForm");
    ASSERT_NE(view, nullptr);
    QTableView* grid = view->grid();
    ASSERT_TRUE(waitFor([&] { return view->isVisible() && grid->viewport()->width() > 0; }));
    QCoreApplication::processEvents();
    const int last = grid->columnViewportPosition(15) + grid->columnWidth(15);
    EXPECT_LE(last, grid->viewport()->width()) << "column +F is in sight";
    EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
    EXPECT_GE(view->parentWidget()->height(), 195);
}

TEST(OperatorView, ReadGaugeShowsItsPercentageInWhiteOnTheBar) {
    Window w("QZR-D10");
    w.load(w.program("prog.bin"));
    bool seen = false;
    EveryModal answers([&](QWidget& d) {
        ASSERT_EQ(d.objectName(), "TReadForm");
        auto* ok = child<QPushButton>(d, "Button1");
        ASSERT_TRUE(waitFor([&] {
            dynamic_cast<qzr::gui::TReadForm&>(d).flush();
            return ok->isEnabled();
        }));
        auto* gauge = child<QProgressBar>(d, "CGauge1");
        ASSERT_EQ(gauge->value(), 100);
        // The text in the middle of the full bar: light pixels on the dark blue.
        const QImage image = gauge->grab().toImage();
        const QRect middle(image.width() / 2 - 20, 2, 40, image.height() - 4);
        int light = 0, blue = 0;
        for (int y = middle.top(); y <= middle.bottom(); ++y)
            for (int x = middle.left(); x <= middle.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.lightness() > 200) ++light;
                if (c.blue() > 150 && c.red() < 80) ++blue;
            }
        EXPECT_GT(light, 10) << "the percentage is drawn light over the bar";
        EXPECT_GT(blue, light) << "on the blue bar";
        seen = true;
        ok->click();
    });
    w.trigger("ReadIC1");
    EXPECT_TRUE(seen);
}

TEST(OperatorView, EveryWindowCarriesTheProgramIcon) {
    Window w;
    QFile svg(":/icons/qzr-writer.svg");
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
    const QIcon icon = QApplication::windowIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 32, 256}) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(image.width(), size);
        // The blue tile of the picture, the same drawn or read from the SVG.
        EXPECT_EQ(image.pixelColor(size / 10, size / 2).name(), "#1f4e8c") << size;
    }
    EXPECT_EQ(w.form->windowIcon().cacheKey(), icon.cacheKey());
    QDialog dialog(w.form.get());
    EXPECT_FALSE(dialog.windowIcon().isNull());
    const QIcon drawn = qzr::gui::applicationIcon();
    EXPECT_FALSE(drawn.pixmap(QSize(64, 64)).isNull());
}

}  // namespace

namespace {

TEST(OperatorView, WindowsFitTheScreenAndTheMainWindowKeepsItsPlace) {
    QRect placed;
    {
        Window w;
        const QRect room = w.form->screen()->availableGeometry();
        const QRect frame = w.form->frameGeometry();
        EXPECT_TRUE(room.contains(frame))
            << "the described 1300 x 800 within the screen: " << frame.x() << "," << frame.y() << " "
            << frame.width() << "x" << frame.height() << " in " << room.width() << "x" << room.height()
            << " min " << w.form->minimumSizeHint().width() << "x" << w.form->minimumSizeHint().height();
        // The disassembly window opens inside the visible area, however the cascade would place it.
        w.load(w.program("prog.bin"));
        for (int n = 0; n < 4; ++n) w.trigger("Disassemble1");
        QWidget* listing = child<QWidget>(*w.form, "TDisassembleForm");
        ASSERT_NE(listing, nullptr);
        const QRect area = w.form->mdiArea()->viewport()->rect();
        EXPECT_TRUE(area.contains(listing->parentWidget()->geometry()))
            << listing->parentWidget()->geometry().width() << " x "
            << listing->parentWidget()->geometry().height();
        // Unlocked, the engineering panel makes the left column taller; the window stays on the screen.
        w.form->engineering().Panel2->setVisible(true);
        QCoreApplication::processEvents();
        EXPECT_LE(w.form->minimumSizeHint().height(), room.height());
        EXPECT_TRUE(room.contains(w.form->frameGeometry()));
        w.form->setGeometry(room.left() + 20, room.top() + 30, 600, 400);
        placed = w.form->geometry();
        w.form->close();
    }
    Window again;
    EXPECT_EQ(again.form->geometry(), placed) << "the next start puts the window where it was left";
}

TEST(OperatorView, QtpFileLabelShowsTheNameWithTheFolderElided) {
    Window w;
    const std::string folder = "/srv/production/line-7/customer-projects/door-bell-controller/serial-numbers";
    qzr::SerialNumberState& s = w.st().serial;
    s.qtpFileOpen = true;
    s.qtpFilePath = folder + "/lot-2026-12.txt";
    s.qtpFileLabel = s.qtpFilePath.substr(1);
    w.form->refreshLabels();
    auto* label = child<QLabel>(*w.form, "Label19");
    const QStringList lines = label->text().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "lot-2026-12.txt");
    EXPECT_TRUE(lines[1].startsWith("/srv/")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QChar(0x2026))) << "elided in the middle: " << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith("numbers")) << lines[1].toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(lines[1]), std::max(label->contentsRect().width(), 140));
    EXPECT_TRUE(label->toolTip().contains(QString::fromStdString(s.qtpFilePath)))
        << label->toolTip().toStdString();
    s.qtpFileOpen = false;
    w.form->refreshLabels();
    EXPECT_EQ(label->text(), "Disable");
    EXPECT_EQ(label->toolTip(), "");
}

TEST(OperatorView, PortListNamesEveryDeviceAndSaysWhyAPortDidNotOpen) {
    Window w;  // Com1 is the virtual writer
    qzr::test::TempDir dev;
    std::filesystem::create_symlink("/dev/null", dev.path() / "ttyUSB1");
    std::filesystem::create_symlink("/dev/null", dev.path() / "ttyUSB0");
    std::filesystem::create_directories(dev.path() / "serial" / "by-id");
    const auto byId = dev.path() / "serial" / "by-id" / "usb-Maker_Writer_0001-if00-port0";
    std::filesystem::create_symlink(dev.path() / "ttyUSB0", byId);
    w.form->setDeviceDirectory(dev.path().string());
    auto* ports = child<QComboBox>(*w.form, "ComboBox1");
    ASSERT_EQ(ports->count(), 9);
    auto tip = [&](int i) {
        return QTextDocumentFragment::fromHtml(ports->itemData(i, Qt::ToolTipRole).toString()).toPlainText();
    };
    EXPECT_EQ(ports->itemText(0), "Com1");
    EXPECT_EQ(tip(0), "virtual writer");
    EXPECT_EQ(tip(1).toStdString(), dev.file("ttyUSB1") + " = /dev/null") << "the second present device";
    EXPECT_EQ(tip(2).toStdString(), "no serial device");
    EXPECT_EQ(ports->itemText(8), QString::fromStdString(byId.string())) << "after Com8, by its stable name";
    EXPECT_EQ(tip(8).toStdString(), byId.string() + " = /dev/null");
    EXPECT_TRUE(child<QLabel>(*w.form, "lbStatusPort")->text().contains("virtual writer"));
    picture(*w.form, "main-window.png");

    // A port whose device is not there: the status bar names it and says why it is not open.
    ::setenv("QZR_COM5", "/nonexistent/ttyQZR5", 1);
    ports->setCurrentIndex(4);
    EXPECT_TRUE(waitFor([&] { return !w.form->writerBusy(); }));
    ::unsetenv("QZR_COM5");
    EXPECT_EQ(w.st().link.portEntry, "Com5");
    EXPECT_TRUE(w.st().link.portError);
    EXPECT_EQ(child<QLabel>(*w.form, "lbStatusPort")->text(),
              "Port: COM5 = /nonexistent/ttyQZR5 (not open: No such file or directory)");
    ASSERT_FALSE(w.ui.log.empty());
    EXPECT_EQ(w.ui.log.front(), "Open  COM5 Port Error!!");

    // The stable name opens the adapter it names.
    ports->setCurrentIndex(8);
    EXPECT_TRUE(waitFor([&] { return !w.form->writerBusy(); }));
    EXPECT_EQ(w.st().link.portEntry, byId.string());
    EXPECT_TRUE(child<QLabel>(*w.form, "lbStatusPort")
                    ->text()
                    .startsWith("Port: " + QString::fromStdString(byId.string())));

    // Picture of the open list, on the port in use.
    ports->setCurrentIndex(0);
    EXPECT_TRUE(waitFor([&] { return !w.form->writerBusy(); }));
    ports->showPopup();
    QWidget* popup = ports->view()->window();
    ASSERT_TRUE(waitFor([&] { return popup->isVisible(); }));
    if (!qEnvironmentVariable("QZR_SCREENSHOT_DIR").isEmpty()) {
        QCoreApplication::processEvents();
        QPixmap shot = w.form->grab();
        QPainter p(&shot);
        p.drawPixmap(ports->mapTo(w.form.get(), QPoint(0, ports->height())), popup->grab());
        p.end();
        shot.save(QDir(qEnvironmentVariable("QZR_SCREENSHOT_DIR")).filePath("port-list.png"));
    }
    ports->hidePopup();
}

}  // namespace
