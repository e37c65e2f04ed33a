#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <deque>
#include <filesystem>

#include "core/disasm/Disassembler.h"
#include "core/info_sheet/InfoSheet.h"
#include "gui/GuiTestApp.h"
#include "gui/common/FileChooser.h"
#include "gui/common/ModalRunner.h"
#include "gui/info_sheet/InfoForm.h"
#include "gui/main/MainForm.h"
#include "gui/options/IdWindow.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace {

using qzr::gui::FileChoice;
using qzr::gui::FileDialogRequest;
using qzr::gui::TMainForm;

using qzr::test::child;
using qzr::test::ScriptedChooser;

// Answers every modal dialog with `answer` while it lives; the dialog's object name is checked.
struct Answer {
    Answer(const char* dialogName, std::function<void(QDialog&)> answer) {
        qzr::gui::setModalRunner([name = QString(dialogName), answer](QDialog& d) {
            EXPECT_EQ(d.objectName(), name);
            answer(d);
            return d.result();
        });
    }
    ~Answer() { qzr::gui::setModalRunner({}); }
};

void click(QObject& parent, const char* name) {
    child<QPushButton>(parent, name)->click();
}
// Typed one key at a time: each goes through the field's own rules, as a key press does.
void keys(QLineEdit* edit, const QString& typed) {
    for (const QChar c : typed) edit->insert(QString(c));
}
void type(QObject& parent, const char* name, const QString& text) {
    child<QLineEdit>(parent, name)->setText(text);
}

// A started main window on the virtual writer in a folder of its own; the sheet never meets a real printer.
struct Started {
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    ScriptedChooser chooser;
    std::unique_ptr<TMainForm> form;

    explicit Started(const char* device = "QZR-D10") {
        qzr::test::guiApp();
        ::setenv("QZR_COM1", "virtual", 1);
        qzr::gui::setInfoSheetPrinterProbe([] { return false; });
        form = std::make_unique<TMainForm>(nullptr, dir.path().string(), &ui);
        form->setFileChooser(&chooser);
        EXPECT_TRUE(qzr::test::showStarted(*form));
        form->findChild<QComboBox*>("ComboBox2")->setCurrentText(device);
        ui.log.clear();
    }
    qzr::MainState& st() { return form->state(); }
    QString label(const char* name) const { return form->findChild<QLabel*>(name)->text(); }
    void trigger(const char* action) { form->findChild<QAction*>(action)->trigger(); }
};

TEST(ProjectCommands, FillDialogDefaultsAndItsMessagesInOrder) {
    struct Case {
        bool eeprom;
        const char* start;
        const char* end;
        const char* data;
        const char* message;  // empty: filled
    };
    const Case cases[] = {
        {false, "800", "7FF", "0", "Start address is a invalid value!"},
        {false, "800", "800", "FFFF", "Start address is a invalid value!"},
        {false, "0", "800", "FFFF", "End address is a invalid value!"},
        {false, "10", "F", "FFFF", "Start address is a invalid value!"},
        {false, "0", "7FF", "4000", "Data is a invalid value!"},
        {false, "", "", "", ""},  // empty fields read 0: word 0 filled with 0
        {false, "3FF", "3FF", "1234", ""},
        {true, "0", "100", "0", "End address is a invalid value!"},
        {true, "0", "FF", "100", "Data is a invalid value!"},
        {true, "10", "1F", "a5", ""},
    };
    Started s("QZR-D01");  // 2048 words and 256 EEPROM bytes
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " " + c.end + " " + c.data);
        s.ui.log.clear();
        QStringList defaults;
        {
            Answer a("TFillBufferForm", [&](QDialog& d) {
                for (const char* name : {"edStart", "edEnd", "edData"})
                    defaults << child<QLineEdit>(d, name)->text();
                type(d, "edStart", c.start);
                type(d, "edEnd", c.end);
                type(d, "edData", c.data);
                click(d, "btOk");
            });
            s.trigger(c.eeprom ? "FillEEPROMBuffer1" : "FillBuffer1");
        }
        EXPECT_EQ(defaults, c.eeprom ? QStringList({"0", "FF", "FF"}) : QStringList({"0", "7FF", "3FFF"}));
        if (std::string(c.message).empty()) {
            EXPECT_TRUE(s.ui.log.empty());
        } else {
            EXPECT_EQ(s.ui.log, std::vector<std::string>{std::string("Error: ") + c.message});
        }
    }
    const auto& image = s.st().image;
    EXPECT_EQ(image.programWord(0).low, 0);
    EXPECT_EQ(image.programWord(1).low, 0x7F);
    EXPECT_EQ(image.programWord(0x3FF).low, 0x34);
    EXPECT_EQ(image.programWord(0x3FF).high, 0x24);
    EXPECT_EQ(image.eepromByte(0x10), 0xA5);
    EXPECT_EQ(image.eepromByte(0x20), 0);
    EXPECT_EQ(s.label("stChecksum"), QString::fromStdString(s.st().options.memoryChecksumText));

    // Cancel fills nothing; a key that is no hexadecimal digit is discarded.
    const std::string before = s.st().options.memoryChecksumText;
    {
        Answer a("TFillBufferForm", [](QDialog& d) {
            auto* start = child<QLineEdit>(d, "edStart");
            start->clear();
            keys(start, "gb");
            EXPECT_EQ(start->text(), "b");
            type(d, "edData", "0");
            click(d, "btCancel");
        });
        s.trigger("FillBuffer1");
    }
    EXPECT_EQ(s.st().options.memoryChecksumText, before);
}

TEST(ProjectCommands, OptionEditorChangeShowsInTheMainWindow) {
    Started s;
    const QString value = s.label("stOptionValue");
    const QString checksum = s.label("stChecksumWithOpt");
    QString chosen;
    {
        Answer a("TEditOption", [&](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Edit OPTION");
            auto* list = child<QComboBox>(d, "cbOption1");
            ASSERT_GE(list->count(), 2);
            EXPECT_FALSE(list->isEditable());
            const int next = (list->currentIndex() + 1) % list->count();
            list->setCurrentIndex(next);
            chosen = list->itemText(next);
            click(d, "bbOk");
        });
        s.trigger("EditOPTION");
    }
    EXPECT_EQ(s.label("lbOption1"), chosen);
    EXPECT_NE(s.label("stOptionValue"), value);
    EXPECT_NE(s.label("stChecksumWithOpt"), checksum);
    EXPECT_EQ(s.label("stOptionValue"), QString::fromStdString(s.st().options.optionValueText));

    // Cancel keeps the bytes even after a change in the dialog.
    const auto bytes = s.st().optionBytes;
    {
        Answer a("TEditOption", [&](QDialog& d) {
            auto* list = child<QComboBox>(d, "cbOption1");
            list->setCurrentIndex((list->currentIndex() + 1) % list->count());
            click(d, "bbCancel");
        });
        s.trigger("EditOPTION");
    }
    EXPECT_EQ(s.st().optionBytes, bytes);
    EXPECT_FALSE(s.st().optionsChanged);
}

// The ID editor in ASCII and HEX mode on the 11-bit core: every high half holds four bits.
TEST(ProjectCommands, IdEditorOnThe11BitCore) {
    Started s("QZR-D59");
    auto* window = s.form->findChild<QWidget*>("TIDChecksumForm");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(s.st().idWindowOpen);
    struct Case {
        bool hex;
        QString text;
        std::vector<uint8_t> bytes;
        const char* shown;
    };
    const Case cases[] = {
        {false, "ABCDE", {0x41, 0x02, 0x43, 0x04, 0x45, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F}, nullptr},
        {true,
         "41 42 43 44 00 FF",
         {0x41, 0x02, 0x43, 0x04, 0x00, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F},
         "41 02 43 04 00 0F 7F 0F 7F 0F 7F 0F"},
        {true,
         "",
         {0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F, 0x7F, 0x0F},
         "7F 0F 7F 0F 7F 0F 7F 0F 7F 0F 7F 0F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        window = s.form->findChild<QWidget*>("TIDChecksumForm");
        child<QRadioButton>(*window, c.hex ? "rbHex" : "rbAscii")->click();
        {
            Answer a("TIDModify", [&](QDialog& d) {
                auto* edit = child<QLineEdit>(d, c.hex ? "MaskEdit1" : "Edit1");
                edit->clear();
                edit->insert(QString(c.text).remove(' '));
                click(d, "BitBtn1");
            });
            click(*window, "btEditID");
        }
        const auto id = s.st().image.idArea();
        EXPECT_EQ(std::vector<uint8_t>(id.begin(), id.begin() + 12), c.bytes);
        const QString shown = c.shown ? QString(c.shown)
                                      : QString::fromLatin1(
                                            "A\x02"
                                            "C\x04"
                                            "E\x0F\x7F\x0F\x7F\x0F\x7F\x0F");
        EXPECT_EQ(child<QLabel>(*window, "Label2")->text(), shown);
        EXPECT_EQ(s.label("lbID"), shown);
    }
    // The hidden spots switch the height: normal, extended, extended with the option rows.
    auto* form = static_cast<qzr::gui::TIDChecksumForm*>(window);
    auto doubleClick = [form](const char* name) {
        std::string(name) == "StaticText1" ? form->StaticText1DblClick() : form->StaticText5DblClick();
        return form->viewHeight();
    };
    EXPECT_EQ(form->viewHeight(), 210);
    EXPECT_EQ(doubleClick("StaticText1"), 430);
    EXPECT_EQ(doubleClick("StaticText5"), 500);
    EXPECT_EQ(doubleClick("StaticText5"), 430);
    EXPECT_EQ(doubleClick("StaticText1"), 210);

    // View > "ID" brings the open window back rather than a second one; "Clear ID" makes a new one.
    s.trigger("ID2");
    EXPECT_EQ(s.form->findChildren<QWidget*>("TIDChecksumForm").size(), 1);
    s.trigger("ClearID1");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(s.form->findChildren<QWidget*>("TIDChecksumForm").size(), 1);
    EXPECT_EQ(s.label("lbID"), "7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F");
}

TEST(ProjectCommands, CounterAndSettings) {
    Started s;
    {
        Answer a("TCounterSetupForm", [](QDialog& d) {
            auto* edit = child<QLineEdit>(d, "Edit1");
            EXPECT_EQ(edit->text(), "0");
            edit->clear();
            keys(edit, "4x1");
            click(d, "BitBtn1");
        });
        s.trigger("CounterMode1");
    }
    EXPECT_EQ(s.label("Label13"), "41");

    // No cancel: the close box keeps the changes, like "Exit" and Escape.
    struct Close {
        const char* how;
        std::function<void(QDialog&)> close;
    };
    const Close ways[] = {
        {"close box", [](QDialog& d) { d.close(); }},
        {"Exit", [](QDialog& d) { click(d, "btExit"); }},
        {"Escape", [](QDialog& d) { d.reject(); }},
    };
    for (const Close& way : ways) {
        SCOPED_TRACE(way.how);
        const qzr::Settings before = s.st().settings;
        {
            Answer a("TfmConfig", [&](QDialog& d) {
                d.show();
                for (const char* name :
                     {"cbBypassIcCheck", "cbKeepOption", "cbWriteEEinAuto", "cbSaveEEData"})
                    child<QCheckBox>(d, name)->toggle();
                way.close(d);
            });
            s.trigger("Config1");
        }
        EXPECT_NE(s.st().settings.bypassIcCheck, before.bypassIcCheck);
        EXPECT_NE(s.st().settings.keepOptions, before.keepOptions);
        EXPECT_NE(s.st().settings.programEepromInAuto, before.programEepromInAuto);
        EXPECT_NE(s.st().settings.saveEepromWithData, before.saveEepromWithData);
    }
}

TEST(ProjectCommands, DisassemblyWindowAndItsSavedListing) {
    Started s;
    auto& image = s.st().image;
    image.setProgramWord(0, qzr::splitWord(0x3A12));
    image.setProgramWord(1, qzr::splitWord(0x0103));
    image.setProgramWord(100, qzr::splitWord(0x1B85));
    EXPECT_FALSE(s.form->actions().FileSaveAsItem->isEnabled());
    s.trigger("Disassemble1");
    auto* window = s.form->findChild<QWidget*>("TDisassembleForm");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Disassembly");
    EXPECT_TRUE(s.st().disassemblyOpen);
    ASSERT_TRUE(s.form->actions().FileSaveAsItem->isEnabled());
    const std::string listing = qzr::disassembleProgram(s.st().device, s.st().image);
    const QString text = child<QPlainTextEdit>(*window, "Memo1")->toPlainText();
    EXPECT_TRUE(text.contains("        LDWI    012H            ;0000    3A12\n"));
    EXPECT_TRUE(text.contains("        BCR     STATUS,ZF       ;0001    0103\n"));
    EXPECT_TRUE(text.contains(";----------------------------\n        ORG     0064H\n"));
    EXPECT_TRUE(text.endsWith("        END"));

    const std::string path = s.dir.file("prog.dis");
    s.chooser.answers.push_back(FileChoice{QString::fromStdString(path), 1});
    s.trigger("FileSaveAsItem");
    ASSERT_EQ(s.chooser.asked.size(), 1u);
    EXPECT_EQ(s.chooser.asked[0].title, "Save disassembly");
    EXPECT_EQ(s.chooser.asked[0].filters, QStringList{"Disassemble files (*.dis)"});
    EXPECT_EQ(s.chooser.asked[0].defaultSuffix, "dis");
    EXPECT_EQ(qzr::test::readFile(path), listing);
    EXPECT_TRUE(s.ui.log.empty());

    // A buffer command closes it and "Save Disassmble" goes off with it.
    s.trigger("ClearBuffer1");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(s.form->findChild<QWidget*>("TDisassembleForm"), nullptr);
    EXPECT_FALSE(s.st().disassemblyOpen);
    EXPECT_FALSE(s.form->actions().FileSaveAsItem->isEnabled());
}

QString squeezed(QString text) {
    return text.simplified();
}

// A worked project through the sheet: the text file byte for byte and, with no printer, a PDF whose text
// holds the sheet's rows.
TEST(ProjectCommands, InformationSheetSavesAndPrintsToPdf) {
    Started s;
    s.trigger("tbInfoSheet");
    EXPECT_EQ(s.ui.log, std::vector<std::string>{"Data memory are blank or error"});

    s.st().image.setProgramWord(0, qzr::splitWord(0x3A12));
    s.st().dataFileName = s.dir.file("bell.bin");
    s.st().options.optionStatus = {};
    s.st().options.items[5].valueText = "Disable";
    s.ui.log.clear();
    s.ui.answer(true);  // "Security is not enabled, continue?"
    qzr::InfoSheet sheet;
    {
        Answer a("TInfoForm", [&](QDialog& d) {
            EXPECT_EQ(child<QLabel>(d, "stDataFileName")->text(), "bell.bin");
            EXPECT_EQ(child<QLineEdit>(d, "edPartNo")->text(), "QZR-D10");
            EXPECT_FALSE(child<QLineEdit>(d, "edSerialNoStartAddr")->isVisibleTo(&d));
            click(d, "bbSavePrint");  // empty name: refused, the sheet stays
            type(d, "edCustomerName", "ACME Corp");
            type(d, "edCustomerProject", "Door bell");
            type(d, "edCodeNo", "A1");
            type(d, "edFrequency", "4M");
            type(d, "edVoltageLow", "2.2");
            child<QRadioButton>(d, "rbSerialEnable")->click();
            EXPECT_TRUE(child<QLineEdit>(d, "edSerialNoStartAddr")->isVisibleTo(&d));
            keys(child<QLineEdit>(d, "edSerialNoStartAddr"), "3f0g12");  // four digits, capitals
            sheet = static_cast<qzr::gui::TInfoForm&>(d).sheet();
            click(d, "bbSavePrint");
        });
        s.chooser.answers.push_back(FileChoice{QString::fromStdString(s.dir.file("bell.txt")), 1});
        s.trigger("Generatecustomerinformationsheet1");
    }
    const std::string pdf = s.dir.file("bell.pdf");
    EXPECT_EQ(s.ui.log, (std::vector<std::string>{
                            "? Security is not enabled, continue?", "Please enter Customer's Name",
                            "No printer: the information sheet was printed to " + pdf}));
    ASSERT_EQ(s.chooser.asked.size(), 1u);
    EXPECT_EQ(s.chooser.asked[0].title, "Save Customer information data");
    EXPECT_EQ(s.chooser.asked[0].initialName, QString::fromStdString(s.dir.file("bell")));
    EXPECT_EQ(sheet.serialStartAddress, "3F01");
    const std::string date =
        QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
    EXPECT_EQ(qzr::test::readFile(s.dir.file("bell.txt")), qzr::SaveInfo(sheet, date));
    EXPECT_EQ(s.st().info.customerName, "ACME Corp");
    EXPECT_EQ(s.st().info.operatingVoltageLow, "2.2");
    ASSERT_TRUE(std::filesystem::exists(pdf));

    // Again without replacing the text file: the page would go beside the data file, where bell.pdf exists;
    // the user keeps that file.
    const auto printed = std::filesystem::last_write_time(pdf);
    s.ui.log.clear();
    s.ui.answer(true);  // security
    {
        Answer a("TInfoForm", [&](QDialog& d) {
            EXPECT_EQ(child<QLineEdit>(d, "edCustomerName")->text(), "ACME Corp");
            EXPECT_EQ(child<QLineEdit>(d, "edCodeNo")->text(), "");  // not kept
            type(d, "edCodeNo", "A2");
            click(d, "bbSavePrint");
        });
        s.trigger("tbInfoSheet");  // bell.txt exists: not replaced
    }
    EXPECT_EQ(s.ui.log,
              (std::vector<std::string>{
                  "? Security is not enabled, continue?", "? File existed, overwrite it?",
                  "? " + pdf + "\nFile existed, overwrite it?", "The information sheet was not printed."}));
    EXPECT_EQ(std::filesystem::last_write_time(pdf), printed);

#if defined(__SANITIZE_THREAD__)
    // A child process started from this many-threaded program leaves ThreadSanitizer refusing every later
    // thread of the test program: the PDF's text is checked in the other builds.
    GTEST_SKIP() << "under ThreadSanitizer the PDF's text is not checked";
#endif
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty()) GTEST_SKIP() << "pdftotext is not installed: the PDF's text is not checked";
    QProcess extract;
    extract.start(pdftotext, {"-layout", QString::fromStdString(pdf), "-"});
    ASSERT_TRUE(extract.waitForFinished(30000));
    const QString text = squeezed(QString::fromUtf8(extract.readAllStandardOutput()));
    for (const qzr::PageText& t : qzr::infoPage(sheet, date, qzr::kVersionText).texts)
        EXPECT_TRUE(text.contains(squeezed(QString::fromStdString(t.text)))) << t.text;
}

}  // namespace
