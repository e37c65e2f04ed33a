#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/DataCommands.h"
#include "app/ShellCommands.h"
#include "core/image/DataLoad.h"
#include "gui/GuiTestApp.h"
#include "gui/common/FileChooser.h"
#include "gui/common/ModalRunner.h"
#include "gui/main/MainForm.h"
#include "support/RecordingUi.h"
#include "support/TestFiles.h"

namespace {

using qzr::gui::FileChoice;
using qzr::gui::FileDialogRequest;
using qzr::gui::TMainForm;

QApplication& app() {
    return qzr::test::guiApp();
}

using qzr::test::ScriptedChooser;

// A started main window on the virtual writer, in a folder of its own.
struct Started {
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    ScriptedChooser chooser;
    std::unique_ptr<TMainForm> form;

    explicit Started(bool show = true) {
        app();
        ::setenv("QZR_COM1", "virtual", 1);
        open(show);
    }
    void open(bool show = true) {
        form = std::make_unique<TMainForm>(nullptr, dir.path().string(), &ui);
        form->setFileChooser(&chooser);
        if (show) {
            EXPECT_TRUE(qzr::test::showStarted(*form));
        }
    }
    void restart() {
        form->close();
        open();
    }
    template <typename T>
    T* get(const char* name) const {
        return form->findChild<T*>(name);
    }
    QString label(const char* name) const { return get<QLabel>(name)->text(); }
    QAction* action(const char* name) const { return get<QAction>(name); }
    void pickDevice(const char* name) { get<QComboBox>("ComboBox2")->setCurrentText(name); }
    // A cell of a view's grid, counted as the described grid does (row 0 the header, column 0 the address).
    QString cell(const char* window, int row, int column) const {
        auto* model = get<QWidget>(window)->findChild<QTableView*>("StringGrid1")->model();
        if (column == 0) return model->headerData(row - 1, Qt::Vertical).toString();
        return model->index(row - 1, column - 1).data().toString();
    }
};

TEST(MainForm, StartsWithTheFirstDeviceAndBlankBuffersWithoutDefaultCfg) {
    Started s;
    EXPECT_EQ(s.form->windowTitle(), "QZR Writer V2.77");
    auto* devices = s.get<QComboBox>("ComboBox2");
    ASSERT_EQ(devices->count(), 59);
    EXPECT_EQ(devices->currentText(), "QZR-D01");
    EXPECT_EQ(devices->itemText(58), "QZR-D59");
    EXPECT_TRUE(s.ui.log.empty()) << s.ui.log.front();
    // The virtual writer identifies itself with a firmware that runs without flow control.
    EXPECT_EQ(s.get<QComboBox>("HandShake")->currentText(), "None");
    EXPECT_EQ(s.form->state().link.handshake, "None");
    EXPECT_EQ(s.label("lbID"), QString(12, QChar(0x7F)));  // ASCII mode shows the blank ID as DEL characters
    EXPECT_EQ(s.label("Label13"), "0");
    EXPECT_EQ(s.label("Label1"), "Disable");
    EXPECT_EQ(s.label("Label19"), "Disable");
    ASSERT_NE(s.get<QWidget>("TMDIChild"), nullptr);
    EXPECT_EQ(s.get<QWidget>("TMDIChild")->windowTitle(), "Program Memory");
    EXPECT_NE(s.get<QWidget>("TEEDataForm"), nullptr);  // QZR-D01 has a data EEPROM
    EXPECT_FALSE(s.get<QWidget>("Panel2")->isVisible());
}

// Every menu entry and toolbar button, its caption or hint, shortcut and enabled state, for a one-time
// programmable device without EEPROM and a flash device with EEPROM.
TEST(MainForm, CommandInventory) {
    struct Row {
        const char* name;
        const char* caption;
        const char* shortcut;
        bool otp;    // enabled for QZR-D10
        bool flash;  // enabled for QZR-D01
    };
    const Row rows[] = {
        {"FileOpen1", "&Load Data", "", true, true},
        {"SaveProgramMemory1", "&Save Data Memory", "", true, true},
        {"LoadConfig1", "Load Config File ", "Ctrl+L", true, true},
        {"FileSaveItem", "Save Config File", "Ctrl+S", true, true},
        {"FileSaveAsItem", "Save Disassmble", "", false, false},
        {"FileExit1", "E&xit", "", true, true},
        {"ProgramMemory1", "Program Memory", "", true, true},
        {"ID2", "ID", "", true, true},
        {"Disassemble1", "Disassemble", "", true, true},
        {"EEPROM1", "EEPROM", "", true, true},
        {"EditOPTION", "OPTION", "F4", true, true},
        {"SerialNoMode1", "Serial No. Mode", "", true, true},
        {"CounterMode1", "Set Counter Value", "", true, true},
        {"LoadQTPFile1", "Load QTP File", "", true, true},
        {"ClearOPTION1", "Clear OPTION", "", true, true},
        {"ClearID1", "Clear ID", "", true, true},
        {"ClearBuffer1", "Clear Buffer", "", true, true},
        {"ClearEEPROMBuffer1", "Clear EEPROM Buffer", "", false, true},
        {"FillBuffer1", "Fill Data Buffer", "Ctrl+F", true, true},
        {"FillEEPROMBuffer1", "Fill EEPROM buffer", "", false, true},
        {"BlankCheckAction", "Blank Check", "F5", true, true},
        {"ReadIC1", "Read IC", "F6", true, true},
        {"Veryfy1", "Verify IC", "F7", true, true},
        {"VerifywithProtect1", "Verify IC in Protect mode", "", true, true},
        {"AutoProgram1", "Auto Program", "F8", true, true},
        {"AutoProgramwithoutBlankCheck1", "Auto Program without Blank Check", "F9", true, true},
        {"GangProgramming1", "Gang Programming", "", true, true},
        {"ID3", "Program ID and Checksum", "", true, true},
        {"ProgramMemory2", "Program Memory", "", true, true},
        {"WriteEE", "Program EEPROM data", "", false, true},
        {"OPTION3", "Program OPTION", "", true, true},
        {"DownLoad1", "Download device info. to writer", "", true, true},
        {"Generatecustomerinformationsheet1", "Generate customer's information sheet", "", true, true},
        {"Config1", "Configuration", "", true, true},
        {"WindowCascade1", "&Cascade", "", true, true},
        {"WindowTileHorizontal1", "Tile &Horizontally", "", true, true},
        {"WindowTileVertical1", "Tile &Vertically", "", true, true},
        {"WindowMinimizeAll1", "&Minimize All", "", true, true},
        {"WindowArrangeAll1", "&Arrange All", "", true, true},
        {"HelpAbout1", "&About...", "", true, true},
        {"VersionInfo1", "Version Info", "", true, true},
        // Toolbar buttons: their hints.
        {"tbSaveProgramMemory", "Save Program Memory", "", true, true},
        {"tbInfoSheet", "Customer's info sheet", "", true, true},
        {"tbLoadConfig", "Load Config File", "", true, true},
        {"tbSaveConfig", "Save ConFig File", "", true, true},
        {"Erase", "Erase Flash memory", "", false, true},
        {"tbBlankCheck", "Blank Check", "", true, true},
        {"tbReadIC", "Read IC", "", true, true},
        {"tbVerify", "Verify", "", true, true},
        {"tbVerifyProtect", "Verify in protect mode", "", true, true},
        {"tbProgramID", "Program ID & Checksum", "", true, true},
        {"tbProgramMemory", "Program Memory", "", true, true},
        {"tbProgramOption", "Program OPTION", "", true, true},
        {"tbWriteEEPROM", "Write EEPROM", "", false, true},
        {"tbAutoProgram", "Auto program", "", true, true},
        {"tbAutoProgramNoBlankCheck", "Auto program without blank check", "", true, true},
        {"tbCascade", "Cascade", "", true, true},
        {"tbTileHorizontal", "Tile Horizontally", "", true, true},
        {"tbTileVertical", "Tile Vertically", "", true, true},
    };
    Started s;
    for (const char* device : {"QZR-D10", "QZR-D01"}) {
        s.pickDevice(device);
        const bool flash = std::string(device) == "QZR-D01";
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(device) + " " + r.name);
            QAction* a = s.action(r.name);
            ASSERT_NE(a, nullptr);
            const bool toolbar = std::string(r.name).starts_with("tb") || std::string(r.name) == "Erase";
            EXPECT_EQ(toolbar ? a->toolTip() : a->text(), r.caption);
            EXPECT_EQ(a->shortcut().toString(), r.shortcut);
            EXPECT_EQ(a->isEnabled(), flash ? r.flash : r.otp);
            EXPECT_TRUE(s.form->hasCommand(a));
        }
    }
    // Every action of the window and every control with a command of its own is connected to it when the
    // window is made (the recent files are the menu's own).
    int actions = 0;
    for (QAction* a : s.form->findChildren<QAction*>()) {
        const QString name = a->objectName();
        if (name.isEmpty() || name.startsWith("RecentFile")) continue;
        EXPECT_TRUE(s.form->hasCommand(a)) << name.toStdString();
        ++actions;
    }
    EXPECT_EQ(actions, std::size(rows) + 1);  // and Force Write
    for (const char* name :
         {"Label3", "QtpSim", "FlashPgmTest", "btShowTime", "PulseWidth", "EraseWidth", "btReload",
          "gbOptions", "stOption1", "lbSecurity", "stOptionValue", "gbID", "lbID", "gbPassCount"})
        EXPECT_TRUE(s.form->hasCommand(s.get<QObject>(name))) << name;
    EXPECT_FALSE(s.action("ForceWrite")->isVisible());
    EXPECT_EQ(s.action("FileOpen1")->toolTip(), "Open");
}

TEST(MainForm, LoadedDataShowsInTheGridAndChecksumsAndClearBufferBlanksIt) {
    Started s;
    s.pickDevice("QZR-D10");
    // 1024 words: word n = n, low byte first.
    std::string bin;
    for (int n = 0; n < 1024; ++n) bin += {static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)};
    const auto path = s.dir.path() / "prog.bin";
    std::ofstream(path, std::ios::binary) << bin;
    s.chooser.answers.push_back(FileChoice{QString::fromStdString(path.string()), 1});
    s.action("FileOpen1")->trigger();
    ASSERT_EQ(s.chooser.asked.size(), 1u);
    EXPECT_EQ(s.chooser.asked[0].title, "Open File");
    EXPECT_EQ(s.chooser.asked[0].filters.at(4), "Config file (*.cfg)");
    EXPECT_EQ(s.get<QWidget>("TMDIChild")->windowTitle(), QString::fromStdString(path.string()));
    EXPECT_EQ(s.cell("TMDIChild", 1, 2), "0001");
    EXPECT_EQ(s.cell("TMDIChild", 128, 8), "03FF");
    EXPECT_EQ(s.cell("TMDIChild", 128, 0), "0x03F8");
    EXPECT_NE(s.label("stChecksum"), "F800");
    EXPECT_EQ(s.label("stChecksum"), QString::fromStdString(s.form->state().options.memoryChecksumText));

    s.action("ClearBuffer1")->trigger();
    EXPECT_EQ(s.cell("TMDIChild", 1, 2), "3FFF");
    EXPECT_EQ(s.label("stChecksum"), "F800");  // 1024 blank words
    EXPECT_EQ(s.get<QWidget>("TMDIChild")->windowTitle(), "Program Memory");
    EXPECT_TRUE(s.ui.log.empty()) << s.ui.log.front();
}

// A project saved through the menu comes back at the next start through Default.cfg, and a refused
// configuration choice says so.
TEST(MainForm, ProjectSurvivesARestart) {
    Started s;
    s.pickDevice("QZR-D10");
    std::string bin(2048, '\0');
    const auto data = s.dir.path() / "prog.bin";
    std::ofstream(data, std::ios::binary) << bin;
    s.form->loadFile(QString::fromStdString(data.string()));
    const auto project = s.dir.path() / "project.cfg";
    s.chooser.answers.push_back(FileChoice{QString::fromStdString(project.string()), 1});
    s.action("FileSaveItem")->trigger();
    ASSERT_TRUE(std::filesystem::exists(project));
    EXPECT_EQ(s.chooser.asked.back().initialName, QString::fromStdString((s.dir.path() / "prog").string()));

    s.chooser.answers.push_back(FileChoice{QString::fromStdString(project.string()), 2});
    s.action("LoadConfig1")->trigger();
    ASSERT_EQ(s.ui.log.size(), 1u);
    EXPECT_EQ(s.ui.log[0], "Can't load file!");

    s.restart();
    EXPECT_EQ(s.get<QComboBox>("ComboBox2")->currentText(), "QZR-D10");
    EXPECT_EQ(s.form->state().dataFileName, data.string());
    EXPECT_EQ(s.cell("TMDIChild", 1, 1), "0000");
    auto* recent = s.action("RecentFile1");
    ASSERT_NE(recent, nullptr);
    EXPECT_TRUE(recent->text().endsWith("project.cfg"));
}

TEST(MainForm, ASecondCopyIsRefused) {
    app();
    qzr::test::TempDir dir;
    qzr::test::RecordingUi ui;
    const std::string lock = (dir.path() / "instance.lock").string();
    auto first = qzr::startSingleInstance(ui, lock);
    ASSERT_TRUE(first.has_value());
    EXPECT_FALSE(qzr::startSingleInstance(ui, lock).has_value());
    ASSERT_EQ(ui.log.size(), 1u);
    EXPECT_EQ(ui.log[0], "Process is running!");
    first.reset();
    EXPECT_TRUE(qzr::startSingleInstance(ui, lock).has_value());
}

// A message sent from a worker thread is shown later by the UI thread, and the worker does not wait for it.
TEST(MainForm, WorkerMessagesReachTheUserOnTheUiThread) {
    struct ThreadUi final : qzr::UserInterface {
        std::vector<std::pair<std::string, std::thread::id>> seen;
        void message(const std::string& t) override { seen.emplace_back(t, std::this_thread::get_id()); }
        void error(const std::string& t) override {
            seen.emplace_back("Error: " + t, std::this_thread::get_id());
        }
        bool askYesNo(const std::string&) override { return false; }
        bool askAbortIgnore(const std::string&) override { return false; }
    } ui;
    app();
    qzr::test::TempDir dir;
    TMainForm form(nullptr, dir.path().string(), &ui);
    std::thread worker([&] {
        form.state().ui->message("Firmware V3.30");
        form.state().ui->error("Read error!!");
    });
    worker.join();
    EXPECT_TRUE(ui.seen.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(ui.seen.size(), 2u);
    EXPECT_EQ(ui.seen[0].first, "Firmware V3.30");
    EXPECT_EQ(ui.seen[1].first, "Error: Read error!!");
    EXPECT_EQ(ui.seen[0].second, std::this_thread::get_id());
}

}  // namespace

namespace {

// A data file rewritten on disk (as a build does) is reported in the status bar and reloaded on request.
TEST(MainForm, ADataFileChangedOnDiskCanBeReloaded) {
    Started s;
    s.pickDevice("QZR-D10");
    const auto data = s.dir.path() / "prog.bin";
    std::ofstream(data, std::ios::binary) << std::string(2048, '\0');
    s.form->loadFile(QString::fromStdString(data.string()));
    auto* reload = s.get<QWidget>("btReload");
    EXPECT_TRUE(reload->isHidden());

    std::ofstream(data, std::ios::binary) << std::string(2048, '\x01');
    std::filesystem::last_write_time(data, std::filesystem::last_write_time(data) + std::chrono::seconds(5));
    for (int i = 0; i < 500 && reload->isHidden(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_FALSE(reload->isHidden());
    EXPECT_TRUE(s.label("lbStatusData").contains("changed on disk"));
    EXPECT_EQ(s.cell("TMDIChild", 1, 1), "0000");

    static_cast<QPushButton*>(reload)->click();
    EXPECT_EQ(s.cell("TMDIChild", 1, 1), "0101");
    EXPECT_TRUE(reload->isHidden());
}

}  // namespace

namespace {

// Data from a damaged HEX file are marked in the status bar, and programming them asks first; the production
// log chosen in the settings dialog is kept for the next start and shown in the status bar.
TEST(MainForm, DamagedDataAndTheProductionLogShowInTheStatusBar) {
    Started s;
    s.pickDevice("QZR-D10");
    const auto hex = s.dir.path() / "bad.mhx";
    std::ofstream(hex, std::ios::binary) << ":020000000000FF\r\n:00000001FF\r\n";  // checksum should be FE
    s.form->loadFile(QString::fromStdString(hex.string()));
    EXPECT_TRUE(s.label("lbStatusData").contains("damaged"));
    s.ui.log.clear();
    s.ui.answer(true);                     // the reset address is blank: go on
    s.action("tbAutoProgram")->trigger();  // the damaged data answered No: nothing runs
    ASSERT_FALSE(s.ui.log.empty());
    EXPECT_EQ(s.ui.log.back(), std::string("? ") + qzr::kDamagedDataQuestion);

    const std::string log = (s.dir.path() / "production.csv").string();
    qzr::gui::setModalRunner([&](QDialog& d) {
        d.findChild<QLineEdit*>("edProductionLog")->setText(QString::fromStdString(log));
        d.accept();
        return d.result();
    });
    s.action("Config1")->trigger();
    qzr::gui::setModalRunner({});
    EXPECT_EQ(s.form->state().operation.productionLogPath, log);
    s.restart();
    EXPECT_EQ(s.form->state().operation.productionLogPath, log);
    EXPECT_EQ(s.label("lbStatusLog"), QString::fromStdString("Log: " + log));
    EXPECT_TRUE(s.label("lbStatusData").contains("damaged"));  // the project names the damaged file
    s.form->state().operation.productionLogPath.clear();       // no log for the tests after this one
    s.form->productionLogChanged();
}

}  // namespace
