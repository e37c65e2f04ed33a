#include "gui/main/MainForm.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>
#include <thread>

#include "app/BufferCommands.h"
#include "app/ConfigCommands.h"
#include "app/DataCommands.h"
#include "app/DeviceCommands.h"
#include "app/OptionCommands.h"
#include "app/PortCommands.h"
#include "app/QtpCommands.h"
#include "app/ShellCommands.h"
#include "core/common/FileIo.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/DataLoad.h"
#include "core/image/DataSave.h"
#include "core/options/IdCode.h"
#include "core/options/Options.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"
#include "core/writer/CommLink.h"
#include "core/writer/PortNames.h"
#include "core/writer/WriterDetect.h"
#include "gui/common/AppIcon.h"
#include "gui/common/FileChooser.h"
#include "gui/image/BufferViews.h"
#include "gui/main/GuiUserInterface.h"
#include "gui/main/MainFormCommands.h"

namespace qzr::gui {

namespace {

QString qs(const std::string& s) {
    return QString::fromLocal8Bit(s.c_str());
}

// Main-window controls of the 13 option items: item 6 is the security item.
QString optionCaptionName(int k) {
    return k == 5 ? QStringLiteral("stSecurity") : QStringLiteral("stOption%1").arg(k + 1);
}
QString optionValueName(int k) {
    return k == 5 ? QStringLiteral("lbSecurity") : QStringLiteral("lbOption%1").arg(k + 1);
}

// A toolbar picture: a few letters on a coloured tile.
QIcon letterIcon(const QString& letters, const QColor& colour) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(colour.darker(140));
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(letters.size() > 2 ? 10 : 13);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, letters);
    return QIcon(pixmap);
}

const char* const kRecentKey = "recentFiles";
const char* const kProductionLogKey = "productionLog";

// The user's settings of the desktop program (not the project: that is Default.cfg).
QSettings userSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "QZR", "QZR Writer");
}
constexpr int kRecentCount = 8;

}  // namespace

// The hooks the core calls; a call from a worker thread is carried over to the UI thread.
class TMainForm::Views final : public ViewHooks {
  public:
    explicit Views(TMainForm& form) : form_(form) {}
    void recreateIdWindow() override {
        post([this] { form_.recreateIdWindow(); });
    }
    void recreateProgramWindow() override {
        post([this] { form_.recreateProgramWindow(); });
    }
    void reloadProgramWindow() override {
        post([this] { form_.reloadProgramWindow(); });
    }
    void reloadEepromWindow() override {
        post([this] { form_.reloadEepromWindow(); });
    }
    void recreateEepromWindow(bool exists) override {
        post([this, exists] { form_.recreateEepromWindow(exists); });
    }
    void closeDisassembly() override {
        post([this] { form_.closeDisassembly(); });
    }
    void refreshOptionDisplay() override {
        post([this] { form_.refreshLabels(); });
    }
    void refreshChecksums() override {
        post([this] { form_.refreshLabels(); });
    }
    void refreshIdDisplay() override {
        post([this] { form_.refreshLabels(); });
    }
    void refreshSerialIndicators() override {
        post([this] { form_.refreshLabels(); });
    }
    void enableSingleAreaCommands(bool enabled, bool menuItemsToo) override {
        post([this, enabled, menuItemsToo] { form_.enableSingleAreaCommands(enabled, menuItemsToo); });
    }
    void refreshDeviceCommands() override {
        post([this] { form_.refreshDeviceCommands(); });
    }
    void refreshSelections() override {
        post([this] { form_.showSelections(); });
    }

  private:
    template <typename F>
    void post(F f) {
        if (QThread::currentThread() == form_.thread()) {
            f();
        } else {
            QMetaObject::invokeMethod(&form_, f, Qt::QueuedConnection);
        }
    }
    TMainForm& form_;
};

TMainForm::TMainForm(QWidget* parent, const std::string& startupDirectory, UserInterface* ui)
    : QMainWindow(parent), views_(std::make_unique<Views>(*this)) {
    setObjectName("TMainForm");
    installApplicationIcon();
    setWindowTitle(QString("QZR Writer V") + kVersionText);
    setAcceptDrops(true);
    if (!startupDirectory.empty()) st_.startupDirectory = startupDirectory;
    gui_ = new GuiUserInterface(this, ui);
    st_.ui = gui_;
    st_.views = views_.get();
    ownChooser_ = std::make_unique<DialogFileChooser>();
    chooser_ = ownChooser_.get();

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName("MDIArea");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(4, 4, 4, 4);
    buildMenus();
    buildToolBar();
    buildPanel();
    row->addWidget(findChild<QWidget*>("Panel1"));
    row->addWidget(mdi_, 1);
    setCentralWidget(central);
    buildStatusBar();

    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { dataFileChanged(); });

    showSelections();
    refreshPortTips();
    refreshLabels();
    refreshDeviceCommands();
    actions_["FileSaveAsItem"]->setEnabled(false);
    rebuildRecentMenu();
    st_.operation.productionLogPath = userSettings().value(kProductionLogKey).toString().toStdString();
    installProjectCommands(*this);
    installWriterCommands(*this);
    connect(comboBox2_, &QComboBox::currentIndexChanged, this, [this] { ComboBox2Change(); });
    connect(comboBox1_, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    connect(handShake_, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    resize(1300, 800);
}

TMainForm::~TMainForm() {
    // The views go before the state they show; nothing may call back into this window afterwards.
    st_.views = &nullViews_;
    delete mdi_;
    mdi_ = nullptr;
}

void TMainForm::setFileChooser(FileChooser* chooser) {
    chooser_ = chooser ? chooser : ownChooser_.get();
}

QAction* TMainForm::menuAction(QMenu* menu, const char* name, const QString& caption,
                               void (TMainForm::*handler)(), const QKeySequence& shortcut) {
    auto* a = new QAction(caption, this);
    a->setObjectName(name);
    if (!shortcut.isEmpty()) a->setShortcut(shortcut);
    if (handler)
        connect(a, &QAction::triggered, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    menu->addAction(a);
    actions_[name] = a;
    return a;
}

QAction* TMainForm::toolAction(const char* name, const QString& hint, void (TMainForm::*handler)()) {
    auto* a = new QAction(hint, this);
    a->setObjectName(name);
    a->setToolTip(hint);
    if (handler)
        connect(a, &QAction::triggered, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    actions_[name] = a;
    return a;
}

void TMainForm::setCommand(const QString& name, std::function<void()> handler) {
    commands_[name] = std::move(handler);
}

QAction* TMainForm::action(const QString& name) const {
    const auto it = actions_.find(name.toStdString());
    return it == actions_.end() ? nullptr : it->second;
}

void TMainForm::runCommand(const QString& name, const QString& caption) {
    const auto it = commands_.find(name);
    if (it != commands_.end()) {
        guarded(it->second);
        return;
    }
    QString text = caption;
    text.remove('&');
    st_.ui->message(text.trimmed().toStdString() + ": not in this version of the desktop program yet.");
}

void TMainForm::buildMenus() {
    auto* bar = menuBar();
    bar->setObjectName("MainMenu1");
    using M = TMainForm;

    QMenu* file = bar->addMenu("&File");
    file->setObjectName("File1");
    menuAction(file, "FileOpen1", "&Load Data", &M::FileOpen1Execute)->setStatusTip("Open a file");
    actions_["FileOpen1"]->setToolTip("Open");
    menuAction(file, "SaveProgramMemory1", "&Save Data Memory", &M::SaveProgramMemory1Click);
    menuAction(file, "LoadConfig1", "Load Config File ", &M::LoadConfig1Click, QKeySequence("Ctrl+L"));
    menuAction(file, "FileSaveItem", "Save Config File", &M::FileSaveItemClick, QKeySequence("Ctrl+S"));
    menuAction(file, "FileSaveAsItem", "Save Disassmble", nullptr);
    connect(actions_["FileSaveAsItem"], &QAction::triggered, this,
            [this] { runCommand("FileSaveAsItem", "Save Disassmble"); });
    recentMenu_ = file->addMenu("&Recent Files");
    recentMenu_->setObjectName("RecentFiles1");
    file->addSeparator();
    menuAction(file, "FileExit1", "E&xit", nullptr);
    connect(actions_["FileExit1"], &QAction::triggered, this, &QWidget::close);

    QMenu* view = bar->addMenu("&View");
    view->setObjectName("View1");
    menuAction(view, "ProgramMemory1", "Program Memory", &M::ProgramMemory1Click);
    menuAction(view, "ID2", "ID", nullptr);
    menuAction(view, "Disassemble1", "Disassemble", nullptr);
    menuAction(view, "EEPROM1", "EEPROM", &M::EEPROM1Click);

    QMenu* edit = bar->addMenu("&Edit");
    edit->setObjectName("Edit1");
    menuAction(edit, "EditOPTION", "OPTION", nullptr, QKeySequence(Qt::Key_F4));
    menuAction(edit, "SerialNoMode1", "Serial No. Mode", nullptr);
    menuAction(edit, "CounterMode1", "Set Counter Value", nullptr);
    menuAction(edit, "LoadQTPFile1", "Load QTP File", &M::LoadQTPFile1Click);
    menuAction(edit, "ClearOPTION1", "Clear OPTION", &M::ClearOPTION1Click);
    menuAction(edit, "ClearID1", "Clear ID", &M::ClearID1Click);
    menuAction(edit, "ClearBuffer1", "Clear Buffer", &M::ClearBuffer1Click);
    menuAction(edit, "ClearEEPROMBuffer1", "Clear EEPROM Buffer", &M::ClearEEPROMBuffer1Click);
    menuAction(edit, "FillBuffer1", "Fill Data Buffer", nullptr, QKeySequence("Ctrl+F"));
    menuAction(edit, "FillEEPROMBuffer1", "Fill EEPROM buffer", nullptr);

    QMenu* functions = bar->addMenu("&Functions");
    functions->setObjectName("Functions1");
    menuAction(functions, "BlankCheckAction", "Blank Check", nullptr, QKeySequence(Qt::Key_F5));
    menuAction(functions, "ReadIC1", "Read IC", nullptr, QKeySequence(Qt::Key_F6));
    menuAction(functions, "Veryfy1", "Verify IC", nullptr, QKeySequence(Qt::Key_F7));
    menuAction(functions, "VerifywithProtect1", "Verify IC in Protect mode", nullptr);
    menuAction(functions, "AutoProgram1", "Auto Program", nullptr, QKeySequence(Qt::Key_F8));
    menuAction(functions, "AutoProgramwithoutBlankCheck1", "Auto Program without Blank Check", nullptr,
               QKeySequence(Qt::Key_F9));
    menuAction(functions, "ID3", "Program ID and Checksum", nullptr);
    menuAction(functions, "ProgramMemory2", "Program Memory", nullptr);
    menuAction(functions, "WriteEE", "Program EEPROM data", nullptr);
    menuAction(functions, "OPTION3", "Program OPTION", nullptr);
    menuAction(functions, "DownLoad1", "Download device info. to writer", nullptr);
    menuAction(functions, "Generatecustomerinformationsheet1", "Generate customer's information sheet",
               nullptr);
    menuAction(functions, "Config1", "Configuration", nullptr);

    QMenu* window = bar->addMenu("&Window");
    window->setObjectName("Window1");
    menuAction(window, "WindowCascade1", "&Cascade", nullptr);
    menuAction(window, "WindowTileHorizontal1", "Tile &Horizontally", nullptr);
    menuAction(window, "WindowTileVertical1", "Tile &Vertically", nullptr);
    menuAction(window, "WindowMinimizeAll1", "&Minimize All", nullptr);
    menuAction(window, "WindowArrangeAll1", "&Arrange All", nullptr);

    QMenu* help = bar->addMenu("&Help");
    help->setObjectName("Help1");
    menuAction(help, "HelpAbout1", "&About...", nullptr);
    menuAction(help, "VersionInfo1", "Version Info", nullptr);

    // The commands whose windows come with the dialogs still to be built say so.
    for (const char* name : {"ID2",
                             "Disassemble1",
                             "EditOPTION",
                             "SerialNoMode1",
                             "CounterMode1",
                             "FillBuffer1",
                             "FillEEPROMBuffer1",
                             "BlankCheckAction",
                             "ReadIC1",
                             "Veryfy1",
                             "VerifywithProtect1",
                             "AutoProgram1",
                             "AutoProgramwithoutBlankCheck1",
                             "ID3",
                             "ProgramMemory2",
                             "WriteEE",
                             "OPTION3",
                             "DownLoad1",
                             "Generatecustomerinformationsheet1",
                             "Config1",
                             "HelpAbout1",
                             "VersionInfo1"}) {
        QAction* a = actions_[name];
        connect(a, &QAction::triggered, this, [this, a] { runCommand(a->objectName(), a->text()); });
    }

    // The standard arrangements of the child windows.
    connect(actions_["WindowCascade1"], &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
    auto tile = [this](bool horizontally) {
        const auto windows = mdi_->subWindowList();
        QList<QMdiSubWindow*> shown;
        for (QMdiSubWindow* w : windows)
            if (!w->isMinimized()) shown.append(w);
        if (shown.isEmpty()) return;
        const QRect area = mdi_->viewport()->rect();
        const int n = static_cast<int>(shown.size());
        for (int i = 0; i < n; ++i) {
            shown[i]->showNormal();
            if (horizontally) {
                const int h = area.height() / n;
                shown[i]->setGeometry(0, i * h, area.width(), h);
            } else {
                const int w = area.width() / n;
                shown[i]->setGeometry(i * w, 0, w, area.height());
            }
        }
    };
    connect(actions_["WindowTileHorizontal1"], &QAction::triggered, this, [tile] { tile(true); });
    connect(actions_["WindowTileVertical1"], &QAction::triggered, this, [tile] { tile(false); });
    connect(actions_["WindowMinimizeAll1"], &QAction::triggered, this, [this] {
        for (QMdiSubWindow* w : mdi_->subWindowList()) w->showMinimized();
    });
    connect(actions_["WindowArrangeAll1"], &QAction::triggered, this, [this] {
        // Minimized windows in a row along the bottom of the area.
        int x = 0;
        for (QMdiSubWindow* w : mdi_->subWindowList()) {
            if (!w->isMinimized()) continue;
            w->move(x, mdi_->viewport()->height() - w->height());
            x += w->width();
        }
    });
}

void TMainForm::buildToolBar() {
    auto* bar = addToolBar("ToolBar2");
    bar->setObjectName("ToolBar2");
    bar->setIconSize(QSize(24, 24));
    bar->setMovable(false);
    using M = TMainForm;
    QAction* open = actions_["FileOpen1"];
    open->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    bar->addAction(open);
    auto add = [&](const char* name, const QString& hint, void (M::*handler)(), const QIcon& icon) {
        QAction* a = toolAction(name, hint, handler);
        a->setIcon(icon);
        bar->addAction(a);
        return a;
    };
    const QColor file(60, 110, 170), op(40, 140, 90), prog(190, 100, 30), win(110, 110, 110);
    add("tbSaveProgramMemory", "Save Program Memory", &M::SaveProgramMemory1Click,
        style()->standardIcon(QStyle::SP_DialogSaveButton));
    add("tbInfoSheet", "Customer's info sheet", nullptr, letterIcon("INF", file));
    add("tbLoadConfig", "Load Config File", &M::LoadConfig1Click, letterIcon("CF", file));
    add("tbSaveConfig", "Save ConFig File", &M::FileSaveItemClick, letterIcon("SC", file));
    bar->addSeparator();
    add("Erase", "Erase Flash memory", nullptr, letterIcon("ER", QColor(170, 50, 50)));
    add("tbBlankCheck", "Blank Check", nullptr, letterIcon("BC", op));
    add("tbReadIC", "Read IC", nullptr, letterIcon("RD", op));
    add("tbVerify", "Verify", nullptr, letterIcon("VF", op));
    add("tbVerifyProtect", "Verify in protect mode", nullptr, letterIcon("VP", op));
    add("tbProgramID", "Program ID & Checksum", nullptr, letterIcon("ID", prog));
    add("tbProgramMemory", "Program Memory", nullptr, letterIcon("PM", prog));
    add("tbProgramOption", "Program OPTION", nullptr, letterIcon("OP", prog));
    add("tbWriteEEPROM", "Write EEPROM", nullptr, letterIcon("EE", prog));
    add("tbAutoProgram", "Auto program", nullptr, letterIcon("AP", QColor(150, 40, 150)));
    add("tbAutoProgramNoBlankCheck", "Auto program without blank check", nullptr,
        letterIcon("AP2", QColor(150, 40, 150)));
    bar->addSeparator();
    add("tbCascade", "Cascade", nullptr, letterIcon("CA", win));
    add("tbTileHorizontal", "Tile Horizontally", nullptr, letterIcon("TH", win));
    add("tbTileVertical", "Tile Vertically", nullptr, letterIcon("TV", win));
    connect(actions_["tbCascade"], &QAction::triggered, actions_["WindowCascade1"], &QAction::trigger);
    connect(actions_["tbTileHorizontal"], &QAction::triggered, actions_["WindowTileHorizontal1"],
            &QAction::trigger);
    connect(actions_["tbTileVertical"], &QAction::triggered, actions_["WindowTileVertical1"],
            &QAction::trigger);
    for (const char* name : {"tbInfoSheet", "Erase", "tbBlankCheck", "tbReadIC", "tbVerify",
                             "tbVerifyProtect", "tbProgramID", "tbProgramMemory", "tbProgramOption",
                             "tbWriteEEPROM", "tbAutoProgram", "tbAutoProgramNoBlankCheck"}) {
        QAction* a = actions_[name];
        connect(a, &QAction::triggered, this, [this, a] { runCommand(a->objectName(), a->toolTip()); });
    }
    bar->addSeparator();

    auto* label3 = new QLabel(" Serial Port : ", this);
    label3->setObjectName("Label3");
    label3->installEventFilter(this);
    bar->addWidget(label3);
    comboBox1_ = new QComboBox(this);
    comboBox1_->setObjectName("ComboBox1");
    for (int n = 1; n <= 8; ++n) comboBox1_->addItem(QString("Com%1").arg(n));
    bar->addWidget(comboBox1_);
    handShake_ = new QComboBox(this);
    handShake_->setObjectName("HandShake");
    handShake_->addItems({"Default", "CTS", "None"});
    bar->addWidget(handShake_);
    auto* force = toolAction("ForceWrite", "Force Write", nullptr);
    force->setText("Force Write");
    connect(force, &QAction::triggered, this, [this] { runCommand("ForceWrite", "Force Write"); });
    bar->addAction(force);
    force->setVisible(false);
}

void TMainForm::buildPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel1");
    panel->setFixedWidth(290);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    auto label = [this](const char* name, const QString& text, QWidget* parent) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(name);
        labels_[name] = l;
        return l;
    };
    auto value = [&](const char* name, QWidget* parent, const QString& hint = {}) {
        QLabel* l = label(name, "", parent);
        l->setStyleSheet("QLabel { color: #00308F; font-weight: bold; } QLabel:disabled { color: #9098A0; }");
        if (!hint.isEmpty()) l->setToolTip(hint);
        return l;
    };

    auto* deviceRow = new QHBoxLayout;
    deviceRow->addWidget(label("lbDevice", "Device :", panel));
    comboBox2_ = new QComboBox(panel);
    comboBox2_->setObjectName("ComboBox2");
    comboBox2_->setMaxVisibleItems(20);
    for (const DeviceRecord& r : deviceTable()) comboBox2_->addItem(QString::fromLatin1(r.name));
    deviceRow->addWidget(comboBox2_, 1);
    column->addLayout(deviceRow);

    auto* options = new QGroupBox("Options :", panel);
    options->setObjectName("gbOptions");
    options->installEventFilter(this);
    auto* grid = new QGridLayout(options);
    grid->setVerticalSpacing(2);
    for (int k = 0; k < 13; ++k) {
        const std::string cap = optionCaptionName(k).toStdString(), val = optionValueName(k).toStdString();
        QLabel* c = label(cap.c_str(), "", options);
        QLabel* v = value(val.c_str(), options);
        c->installEventFilter(this);
        v->installEventFilter(this);
        grid->addWidget(c, k, 0);
        grid->addWidget(v, k, 1);
    }
    QLabel* valueCaption = label("lbOptionValueCaption", "Option value :", options);
    QLabel* optionValue = value("stOptionValue", options);
    valueCaption->installEventFilter(this);
    optionValue->installEventFilter(this);
    grid->addWidget(valueCaption, 13, 0);
    grid->addWidget(optionValue, 13, 1);
    column->addWidget(options);

    auto* checksum = new QGroupBox("Checksum :", panel);
    checksum->setObjectName("gbChecksum");
    auto* cs = new QGridLayout(checksum);
    cs->setVerticalSpacing(2);
    cs->addWidget(label("lbChecksumCaption", "Memory:", checksum), 0, 0);
    cs->addWidget(value("stChecksum", checksum, "Checksum for data"), 0, 1);
    cs->addWidget(label("lbChecksumWithOptCaption", "w/OPTIONs:", checksum), 1, 0);
    cs->addWidget(value("stChecksumWithOpt", checksum, "Checksum include OPTION"), 1, 1);
    cs->addWidget(label("lbChecksumProtectCaption", "After Protect:", checksum), 2, 0);
    cs->addWidget(value("stChecksumProtect", checksum, "Checksum for protected IC"), 2, 1);
    cs->addWidget(label("lbChecksumInICCaption", "Checksum in IC:", checksum), 3, 0);
    cs->addWidget(value("stChecksumInIC", checksum, "Checksum on IC"), 3, 1);
    column->addWidget(checksum);

    auto* id = new QGroupBox("ID :", panel);
    id->setObjectName("gbID");
    id->installEventFilter(this);
    auto* idRow = new QVBoxLayout(id);
    QLabel* lbId = value("lbID", id);
    lbId->installEventFilter(this);
    idRow->addWidget(lbId);
    column->addWidget(id);

    auto* serial = new QGroupBox("Serial No. :", panel);
    serial->setObjectName("gbSerialNo");
    auto* sn = new QGridLayout(serial);
    sn->setVerticalSpacing(2);
    sn->addWidget(label("lbSerialModeCaption", "Serial No. Mode :", serial), 0, 0);
    sn->addWidget(value("Label1", serial), 0, 1);
    sn->addWidget(label("lbQtpFileCaption", "QTP file :", serial), 1, 0);
    sn->addWidget(value("Label19", serial), 1, 1);
    sn->addWidget(label("lbSerialNoCaption", "No. (HEX):", serial), 2, 0);
    sn->addWidget(value("stSerialNo", serial), 2, 1);
    column->addWidget(serial);

    auto* pass = new QGroupBox("Pass Count :", panel);
    pass->setObjectName("gbPassCount");
    pass->installEventFilter(this);
    auto* passRow = new QVBoxLayout(pass);
    QLabel* count = value("Label13", pass);
    count->setStyleSheet("color: #006000; font-weight: bold; font-size: 16pt;");
    passRow->addWidget(count);
    column->addWidget(pass);

    // The engineering panel: hidden until unlocked with the access code.
    panel2_ = new QGroupBox("Engineering", panel);
    panel2_->setObjectName("Panel2");
    auto* eng = new QGridLayout(panel2_);
    auto button = [&](const char* name, int rowIndex, const QString& caption) {
        eng->addWidget(label((std::string("lb") + name).c_str(), caption, panel2_), rowIndex, 0);
        auto* b = new QPushButton("Enable", panel2_);
        b->setObjectName(name);
        eng->addWidget(b, rowIndex, 1);
        connect(b, &QPushButton::clicked, this, [this, name, caption] { runCommand(name, caption); });
    };
    button("QtpSim", 0, "QTP Sim");
    button("FlashPgmTest", 1, "Flash Pgm test");
    button("btShowTime", 2, "Show program time:");
    auto field = [&](const char* name, int rowIndex, const QString& caption, const QString& unit,
                     const std::string& text) {
        eng->addWidget(label((std::string("lb") + name).c_str(), caption, panel2_), rowIndex, 0);
        auto* e = new QLineEdit(qs(text), panel2_);
        e->setObjectName(name);
        e->setMaximumWidth(60);
        eng->addWidget(e, rowIndex, 1);
        eng->addWidget(label((std::string("lb") + name + "Unit").c_str(), unit, panel2_), rowIndex, 2);
        connect(e, &QLineEdit::textChanged, this, [this, name] {
            if (commands_.count(name)) runCommand(name, name);
        });
    };
    field("PulseWidth", 3, "Write pulse width:", "x 0.2ms", st_.panel.pulseWidthText);
    field("EraseWidth", 4, "Erase pulse width:", "x 0.1ms", st_.panel.eraseWidthText);
    panel2_->setVisible(false);
    column->addWidget(panel2_);
    column->addStretch(1);
}

void TMainForm::buildStatusBar() {
    auto* bar = statusBar();
    bar->setObjectName("StatusBar1");
    for (const char* name : {"lbStatusLog", "lbStatusDevice", "lbStatusPort", "lbStatusWriter"}) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        labels_[name] = l;
        bar->addPermanentWidget(l);
    }
    auto* data = new QLabel(this);
    data->setObjectName("lbStatusData");
    data->setStyleSheet("color: #B00000; font-weight: bold;");
    labels_["lbStatusData"] = data;
    bar->addWidget(data, 1);
    reloadButton_ = new QPushButton("Reload", this);
    reloadButton_->setObjectName("btReload");
    reloadButton_->setVisible(false);
    connect(reloadButton_, &QPushButton::clicked, this,
            [this] { guarded([this] { loadFile(qs(st_.dataFileName)); }); });
    bar->addWidget(reloadButton_);
}

// --- start-up and shut-down ---

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!st_.firstShowDone) guarded([this] { FormShow(); });
}

void TMainForm::FormShow() {
    st_.info = InfoSheetTexts{};
    FirstShow(st_);
    // The program memory view at the top left, the other windows of the start beside it, one under another.
    if (programView_) {
        QWidget* program = programView_->parentWidget();
        program->move(0, 0);
        int y = 0;
        for (QMdiSubWindow* w : mdi_->subWindowList()) {
            if (w == program) continue;
            w->move(program->width() + 6, y);
            y += w->height() + 6;
        }
        mdi_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(program));
    }
    watchDataFile();
    runWriterTask([this] { StartupConnection(st_); });
    refreshStatus();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (taskRunning_) {
        // The writer is still being talked to; the window closes once it has answered.
        event->ignore();
        return;
    }
    guarded([this] { FormClose(st_); });
    event->accept();
}

// --- the lists ---

void TMainForm::showSelections() {
    const QSignalBlocker b1(comboBox1_), b2(comboBox2_), b3(handShake_);
    comboBox2_->setCurrentText(qs(st_.deviceListText));
    const QString port = qs(st_.link.portEntry);
    int index = -1;
    for (int i = 0; i < comboBox1_->count(); ++i)
        if (samePortEntry(comboBox1_->itemText(i).toStdString(), st_.link.portEntry)) index = i;
    if (index < 0) {
        comboBox1_->addItem(port);  // a device path or "virtual"
        index = comboBox1_->count() - 1;
        refreshPortTips();
    }
    comboBox1_->setCurrentIndex(index);
    handShake_->setCurrentText(qs(st_.link.handshake));
    if (!taskRunning_) refreshStatus();  // a running writer task may still be changing the link
}

void TMainForm::refreshPortTips() {
    for (int i = 0; i < comboBox1_->count(); ++i) {
        const std::string resolved = resolvePortEntry(comboBox1_->itemText(i).toStdString());
        comboBox1_->setItemData(i, isVirtualPortEntry(resolved) ? QString("virtual writer") : qs(resolved),
                                Qt::ToolTipRole);
    }
}

void TMainForm::ComboBox1Change() {
    guarded([this] {
        st_.link.portEntry = comboBox1_->currentText().toStdString();
        st_.link.handshake = handShake_->currentText().toStdString();
        runWriterTask([this] { PortChanged(st_); });
        showSelections();
    });
}

void TMainForm::ComboBox2Change() {
    guarded([this] {
        selectDevice(st_, comboBox2_->currentText().toStdString());
        refreshStatus();
    });
}

void TMainForm::runWriterTask(const std::function<void()>& task) {
    if (taskRunning_) return;
    taskRunning_ = true;
    menuBar()->setEnabled(false);
    centralWidget()->setEnabled(false);
    findChild<QToolBar*>("ToolBar2")->setEnabled(false);
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            task();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued behind the messages the task sent, so they are all shown before the loop ends.
        QMetaObject::invokeMethod(
            gui_, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    menuBar()->setEnabled(true);
    centralWidget()->setEnabled(true);
    findChild<QToolBar*>("ToolBar2")->setEnabled(true);
    taskRunning_ = false;
    refreshStatus();
    if (failure) std::rethrow_exception(failure);
}

void TMainForm::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const ECommError& e) {
        st_.ui->message(e.what());
    } catch (const std::exception& e) {
        st_.ui->error(e.what());
    }
}

// --- file commands ---

void TMainForm::FileOpen1Execute() {
    const FileDialogRequest request{"Open File",
                                    {"QZR bin (*.bin)", "QZR hex (*.mhx)", "PIC obj (*.obj)",
                                     "PIC hex (*.hex)", "Config file (*.cfg)", "All File (*.*)"},
                                    1,
                                    "bin",
                                    {}};
    const auto choice = chooser_->openFile(this, request);
    std::optional<std::string> chosen;
    if (choice) chosen = choice->path.toStdString();
    if (qzr::FileOpen1Execute(st_, chosen)) rememberRecent(choice->path);
    watchDataFile();
    refreshStatus();
}

void TMainForm::loadFile(const QString& path) {
    const std::string name = path.toStdString();
    const bool loaded = dataFileKind(name) == DataFileKind::cfg ? LoadConfigFile(st_, name)
                                                                : qzr::FileOpen1Execute(st_, name);
    if (loaded) rememberRecent(path);
    watchDataFile();
    refreshStatus();
}

void TMainForm::SaveProgramMemory1Click() {
    const FileDialogRequest request{"Save program memory buffer",
                                    {"QZR Hex files (*.mhx)", "QZR Bin files (*.bin)"},
                                    2,
                                    "bin",
                                    qs(dialogInitialName(st_.dataFileName))};
    const auto choice = chooser_->saveFile(this, request);
    if (!choice) return;
    // A typed .mhx or .bin decides; the filter only proposes.
    const auto format = chosenSaveFormat(
        choice->path.toStdString(), choice->filterIndex == 1 ? DataSaveFormat::hex : DataSaveFormat::binary);
    if (SaveProgramMemory(st_.device, st_.image, *st_.ui, choice->path.toStdString(), format) &&
        QFileInfo(choice->path) == QFileInfo(qs(st_.dataFileName)))
        watchDataFile();  // our own write is no change on disk to report
}

void TMainForm::LoadConfig1Click() {
    const FileDialogRequest request{
        "Load Configuration", {"Config files (*.cfg)", "QTP file (*.txt)"}, 1, "cfg", {}};
    const auto choice = chooser_->openFile(this, request);
    if (!choice) return;
    if (qzr::LoadConfig1Click(st_, choice->path.toStdString(), choice->filterIndex))
        rememberRecent(choice->path);
    watchDataFile();
    refreshStatus();
}

void TMainForm::FileSaveItemClick() {
    const FileDialogRequest request{"Save Configuration",
                                    {"Config files (*.cfg)", "QTP files (*.txt)"},
                                    1,
                                    "cfg",
                                    qs(dialogInitialName(st_.dataFileName))};
    const auto choice = chooser_->saveFile(this, request);
    if (!choice) return;
    if (qzr::FileSaveItemClick(st_, choice->path.toStdString(), choice->filterIndex))
        rememberRecent(choice->path);
}

void TMainForm::LoadQTPFile1Click() {
    qzr::LoadQTPFile1Click(st_, [this]() -> std::optional<QtpFileChoice> {
        const FileDialogRequest request{
            "Open QTP File", {"Config files (*.cfg)", "QTP file (*.txt)"}, 2, "txt", {}};
        const auto choice = chooser_->openFile(this, request);
        if (!choice) return std::nullopt;
        return QtpFileChoice{choice->path.toStdString(), choice->filterIndex};
    });
}

// --- edit and view commands ---

void TMainForm::ClearOPTION1Click() {
    ClearOption(st_);
}
void TMainForm::ClearID1Click() {
    ClearId(st_);
}
void TMainForm::ClearBuffer1Click() {
    ClearBuffer(st_);
    watchDataFile();
    refreshStatus();
}
void TMainForm::ClearEEPROMBuffer1Click() {
    ClearEepromBuffer(st_);
}

void TMainForm::ProgramMemory1Click() {
    if (programView_) {
        mdi_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(programView_->parentWidget()));
        return;
    }
    recreateProgramWindow();
}

void TMainForm::EEPROM1Click() {
    if (eepromView_) {
        mdi_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(eepromView_->parentWidget()));
        return;
    }
    recreateEepromWindow(true);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        const QString name = watched->objectName();
        if (name == "gbOptions" || name.startsWith("stOption") || name.startsWith("lbOption") ||
            name == "stSecurity" || name == "lbSecurity") {
            actions_["EditOPTION"]->trigger();
            return true;
        }
        if (name == "gbID" || name == "lbID") {
            actions_["ID2"]->trigger();
            return true;
        }
        if (name == "gbPassCount") {
            actions_["CounterMode1"]->trigger();
            return true;
        }
        if (name == "Label3") {
            if (commands_.count(name)) runCommand(name, name);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().front().isLocalFile())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.front().isLocalFile()) return;
    event->acceptProposedAction();
    guarded([this, path = urls.front().toLocalFile()] { loadFile(path); });
}

// --- the child windows ---

QMdiSubWindow* TMainForm::addChild(QWidget* view, const QSize& size) {
    QMdiSubWindow* sub = mdi_->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(size);
    sub->show();
    return sub;
}

void TMainForm::recreateIdWindow() {
    // The ID window comes with the ID editor; until then its copy in the main window is kept current.
    IDLabelShow(st_.options, st_.device, st_.image, *st_.views);
    refreshLabels();
    if (onRecreateIdWindow) onRecreateIdWindow();
}

void TMainForm::recreateProgramWindow() {
    if (programView_) {
        disconnect(programView_, &QObject::destroyed, this, nullptr);
        delete programView_->parentWidget();
    }
    auto* view = new TMDIChild(st_);
    view->setWindowTitle(qs(programWindowTitle(st_)));
    programView_ = view;
    connect(view, &QObject::destroyed, this, [this] {
        // Closed by the user.
        st_.programWindowOpen = false;
        closeDisassembly();
    });
    addChild(view, QSize(400, 319));
    st_.programWindowOpen = true;
    refreshLabels();
}

void TMainForm::reloadProgramWindow() {
    if (programView_) programView_->reload();
    refreshLabels();
}

void TMainForm::reloadEepromWindow() {
    if (eepromView_) eepromView_->reload();
}

void TMainForm::recreateEepromWindow(bool exists) {
    if (eepromView_) {
        disconnect(eepromView_, &QObject::destroyed, this, nullptr);
        delete eepromView_->parentWidget();
    }
    st_.eepromWindowOpen = false;
    if (!exists) return;
    auto* view = new TEEDataForm(st_);
    view->setWindowTitle("EEPROM data");
    eepromView_ = view;
    connect(view, &QObject::destroyed, this, [this] { st_.eepromWindowOpen = false; });
    addChild(view, QSize(487, 195));
    st_.eepromWindowOpen = true;
}

void TMainForm::closeDisassembly() {
    st_.disassemblyOpen = false;
    actions_["FileSaveAsItem"]->setEnabled(false);
    if (onCloseDisassembly) onCloseDisassembly();
}

void TMainForm::refreshLabels() {
    const OptionState& o = st_.options;
    for (int k = 0; k < 13; ++k) {
        const OptionItemView& item = o.items[static_cast<std::size_t>(k)];
        QLabel* caption = labels_[optionCaptionName(k).toStdString()];
        caption->setText(qs(item.caption));
        caption->setVisible(item.captionVisible);
        caption->setEnabled(item.captionEnabled);
        QLabel* v = labels_[optionValueName(k).toStdString()];
        v->setText(qs(item.valueText));
        v->setVisible(item.valueVisible);
        v->setEnabled(item.valueEnabled);
    }
    labels_["stOptionValue"]->setText(qs(o.optionValueText));
    labels_["stChecksum"]->setText(qs(o.memoryChecksumText));
    labels_["lbChecksumWithOptCaption"]->setText(qs(o.optionChecksumCaption));
    labels_["stChecksumWithOpt"]->setText(qs(o.optionChecksumText));
    labels_["stChecksumProtect"]->setText(qs(o.protectChecksumText));
    labels_["stChecksumInIC"]->setText(QString::fromLatin1(o.idChecksumText.c_str()));
    labels_["lbID"]->setText(QString::fromLatin1(o.idText.c_str()));
    labels_["Label1"]->setText(qs(serialModeLabel(st_.serial)));
    labels_["Label19"]->setText(qs(qtpFileLabel(st_.serial)));
    labels_["stSerialNo"]->setText(qs(st_.serial.serialNoText));
    labels_["Label13"]->setText(qs(st_.serial.passCountText));
}

void TMainForm::enableSingleAreaCommands(bool enabled, bool menuItemsToo) {
    for (const char* name : {"tbProgramID", "tbProgramMemory", "tbProgramOption"})
        actions_[name]->setEnabled(enabled);
    if (menuItemsToo)
        for (const char* name : {"ID3", "ProgramMemory2", "OPTION3"}) actions_[name]->setEnabled(enabled);
}

void TMainForm::refreshDeviceCommands() {
    actions_["Erase"]->setEnabled(st_.device.isFlash());
    const bool eeprom = st_.device.hasEeprom();
    for (const char* name : {"tbWriteEEPROM", "WriteEE", "ClearEEPROMBuffer1", "FillEEPROMBuffer1"})
        actions_[name]->setEnabled(eeprom);
}

void TMainForm::refreshStatus() {
    labels_["lbStatusDevice"]->setText("Device: " + qs(st_.device.deviceName));
    labels_["lbStatusPort"]->setText("Port: " + qs(st_.link.portName) +
                                     (st_.link.portError ? QString(" (not open)") : QString()));
    labels_["lbStatusWriter"]->setText(
        "Writer: " + (st_.link.writerIdText.empty() ? QString("none") : qs(st_.link.writerIdText).trimmed()));
    labels_["lbStatusLog"]->setText(
        st_.operation.productionLogPath.empty() ? QString() : "Log: " + qs(st_.operation.productionLogPath));
    QString data = qs(damagedDataNote(st_));
    if (dataFileStale_) {
        if (!data.isEmpty()) data += "  ";
        data += "\"" + QFileInfo(qs(st_.dataFileName)).fileName() + "\" changed on disk.";
    }
    labels_["lbStatusData"]->setText(data);
    reloadButton_->setVisible(dataFileStale_);
}

// --- recent files, the production log and the data-file watch ---

void TMainForm::productionLogChanged() {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "QZR", "QZR Writer");
    settings.setValue(kProductionLogKey, qs(st_.operation.productionLogPath));
    refreshStatus();
}

void TMainForm::rememberRecent(const QString& path) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "QZR", "QZR Writer");
    QStringList list = settings.value(kRecentKey).toStringList();
    const QString full = QFileInfo(path).absoluteFilePath();
    list.removeAll(full);
    list.prepend(full);
    while (list.size() > kRecentCount) list.removeLast();
    settings.setValue(kRecentKey, list);
    rebuildRecentMenu();
}

void TMainForm::rebuildRecentMenu() {
    recentMenu_->clear();
    const QStringList list = userSettings().value(kRecentKey).toStringList();
    int n = 0;
    for (const QString& path : list) {
        if (n == kRecentCount) break;
        QAction* a = recentMenu_->addAction(QString("&%1 %2").arg(++n).arg(path));
        a->setObjectName(QString("RecentFile%1").arg(n));
        connect(a, &QAction::triggered, this, [this, path] { guarded([this, path] { loadFile(path); }); });
    }
    recentMenu_->setEnabled(n > 0);
}

void TMainForm::watchDataFile() {
    if (!watcher_->files().isEmpty()) watcher_->removePaths(watcher_->files());
    dataFileStale_ = false;
    const QString name = qs(st_.dataFileName);
    if (!name.isEmpty() && QFileInfo(name).isFile()) {
        watcher_->addPath(name);
        watchedStamp_ = QFileInfo(name).lastModified().toMSecsSinceEpoch() ^ QFileInfo(name).size();
    }
    refreshStatus();
}

void TMainForm::dataFileChanged() {
    const QString name = qs(st_.dataFileName);
    const QFileInfo info(name);
    // A file replaced by a rename is no longer watched: watch the new one.
    if (info.isFile() && !watcher_->files().contains(name)) watcher_->addPath(name);
    const qint64 stamp = info.isFile() ? (info.lastModified().toMSecsSinceEpoch() ^ info.size()) : -1;
    if (stamp == watchedStamp_) return;
    dataFileStale_ = true;
    refreshStatus();
}

}  // namespace qzr::gui
