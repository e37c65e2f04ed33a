// The main window's menus, toolbar, left-hand panel (with the hidden engineering panel) and status bar.
#include "gui/main/MainFormLayout.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <functional>

#include "core/device/DeviceCatalogue.h"
#include "gui/common/Text.h"
#include "gui/main/MainForm.h"

namespace qzr::gui {

namespace {

// The port list: the present devices are read again just before it opens.
class PortList final : public QComboBox {
  public:
    PortList(std::function<void()> refresh, QWidget* parent)
        : QComboBox(parent), refresh_(std::move(refresh)) {}
    void showPopup() override {
        refresh_();
        QComboBox::showPopup();
    }

  private:
    std::function<void()> refresh_;
};

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

// The MDI children side by side or one under another.
void tile(QMdiArea* mdi, bool horizontally) {
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* w : mdi->subWindowList())
        if (!w->isMinimized()) shown.append(w);
    if (shown.isEmpty()) return;
    const QRect area = mdi->viewport()->rect();
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
}

}  // namespace

QString optionCaptionName(int k) {
    return k == 5 ? QStringLiteral("stSecurity") : QStringLiteral("stOption%1").arg(k + 1);
}
QString optionValueName(int k) {
    return k == 5 ? QStringLiteral("lbSecurity") : QStringLiteral("lbOption%1").arg(k + 1);
}

void TMainForm::buildMenus() {
    auto* bar = menuBar();
    bar->setObjectName("MainMenu1");
    MainActions& a = actions_;
    QMenu* menu = nullptr;
    auto item = [&](QAction*& slot, const char* name, const QString& caption, const QKeySequence& key = {}) {
        slot = new QAction(caption, this);
        slot->setObjectName(name);
        if (!key.isEmpty()) slot->setShortcut(key);
        menu->addAction(slot);
    };

    menu = bar->addMenu("&File");
    menu->setObjectName("File1");
    item(a.FileOpen1, "FileOpen1", "&Load Data");
    a.FileOpen1->setStatusTip("Open a file");
    a.FileOpen1->setToolTip("Open");
    item(a.SaveProgramMemory1, "SaveProgramMemory1", "&Save Data Memory");
    item(a.LoadConfig1, "LoadConfig1", "Load Config File ", QKeySequence("Ctrl+L"));
    item(a.FileSaveItem, "FileSaveItem", "Save Config File", QKeySequence("Ctrl+S"));
    item(a.FileSaveAsItem, "FileSaveAsItem", "Save Disassmble");
    QMenu* recent = menu->addMenu("&Recent Files");
    recent->setObjectName("RecentFiles1");
    menu->addSeparator();
    item(a.FileExit1, "FileExit1", "E&xit");
    recentMenu_ = recent;

    menu = bar->addMenu("&View");
    menu->setObjectName("View1");
    item(a.ProgramMemory1, "ProgramMemory1", "Program Memory");
    item(a.ID2, "ID2", "ID");
    item(a.Disassemble1, "Disassemble1", "Disassemble");
    item(a.EEPROM1, "EEPROM1", "EEPROM");

    menu = bar->addMenu("&Edit");
    menu->setObjectName("Edit1");
    item(a.EditOPTION, "EditOPTION", "OPTION", QKeySequence(Qt::Key_F4));
    item(a.SerialNoMode1, "SerialNoMode1", "Serial No. Mode");
    item(a.CounterMode1, "CounterMode1", "Set Counter Value");
    item(a.LoadQTPFile1, "LoadQTPFile1", "Load QTP File");
    item(a.ClearOPTION1, "ClearOPTION1", "Clear OPTION");
    item(a.ClearID1, "ClearID1", "Clear ID");
    item(a.ClearBuffer1, "ClearBuffer1", "Clear Buffer");
    item(a.ClearEEPROMBuffer1, "ClearEEPROMBuffer1", "Clear EEPROM Buffer");
    item(a.FillBuffer1, "FillBuffer1", "Fill Data Buffer", QKeySequence("Ctrl+F"));
    item(a.FillEEPROMBuffer1, "FillEEPROMBuffer1", "Fill EEPROM buffer");

    menu = bar->addMenu("&Functions");
    menu->setObjectName("Functions1");
    item(a.BlankCheckAction, "BlankCheckAction", "Blank Check", QKeySequence(Qt::Key_F5));
    item(a.ReadIC1, "ReadIC1", "Read IC", QKeySequence(Qt::Key_F6));
    item(a.Veryfy1, "Veryfy1", "Verify IC", QKeySequence(Qt::Key_F7));
    item(a.VerifywithProtect1, "VerifywithProtect1", "Verify IC in Protect mode");
    item(a.AutoProgram1, "AutoProgram1", "Auto Program", QKeySequence(Qt::Key_F8));
    item(a.AutoProgramwithoutBlankCheck1, "AutoProgramwithoutBlankCheck1", "Auto Program without Blank Check",
         QKeySequence(Qt::Key_F9));
    item(a.GangProgramming1, "GangProgramming1", "Gang Programming");
    item(a.ID3, "ID3", "Program ID and Checksum");
    item(a.ProgramMemory2, "ProgramMemory2", "Program Memory");
    item(a.WriteEE, "WriteEE", "Program EEPROM data");
    item(a.OPTION3, "OPTION3", "Program OPTION");
    item(a.DownLoad1, "DownLoad1", "Download device info. to writer");
    item(a.Generatecustomerinformationsheet1, "Generatecustomerinformationsheet1",
         "Generate customer's information sheet");
    item(a.Config1, "Config1", "Configuration");

    menu = bar->addMenu("&Window");
    menu->setObjectName("Window1");
    item(a.WindowCascade1, "WindowCascade1", "&Cascade");
    item(a.WindowTileHorizontal1, "WindowTileHorizontal1", "Tile &Horizontally");
    item(a.WindowTileVertical1, "WindowTileVertical1", "Tile &Vertically");
    item(a.WindowMinimizeAll1, "WindowMinimizeAll1", "&Minimize All");
    item(a.WindowArrangeAll1, "WindowArrangeAll1", "&Arrange All");

    menu = bar->addMenu("&Help");
    menu->setObjectName("Help1");
    item(a.HelpAbout1, "HelpAbout1", "&About...");
    item(a.VersionInfo1, "VersionInfo1", "Version Info");

    // The standard arrangements of the child windows.
    bind(
        a.WindowCascade1, [this] { mdi_->cascadeSubWindows(); }, Waits::never);
    bind(
        a.WindowTileHorizontal1, [this] { tile(mdi_, true); }, Waits::never);
    bind(
        a.WindowTileVertical1, [this] { tile(mdi_, false); }, Waits::never);
    bind(
        a.WindowMinimizeAll1,
        [this] {
            for (QMdiSubWindow* w : mdi_->subWindowList()) w->showMinimized();
        },
        Waits::never);
    bind(
        a.WindowArrangeAll1,
        [this] {
            // Minimized windows in a row along the bottom of the area.
            int x = 0;
            for (QMdiSubWindow* w : mdi_->subWindowList()) {
                if (!w->isMinimized()) continue;
                w->move(x, mdi_->viewport()->height() - w->height());
                x += w->width();
            }
        },
        Waits::never);
    bind(
        a.FileExit1, [this] { close(); }, Waits::never);
}

void TMainForm::buildToolBar() {
    auto* bar = addToolBar("ToolBar2");
    bar->setObjectName("ToolBar2");
    bar->setIconSize(QSize(24, 24));
    bar->setMovable(false);
    MainActions& a = actions_;
    a.FileOpen1->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    bar->addAction(a.FileOpen1);
    auto add = [&](QAction*& slot, const char* name, const QString& hint, const QIcon& icon) {
        slot = new QAction(hint, this);
        slot->setObjectName(name);
        slot->setToolTip(hint);
        slot->setIcon(icon);
        bar->addAction(slot);
    };
    const QColor file(60, 110, 170), op(40, 140, 90), prog(190, 100, 30), win(110, 110, 110);
    add(a.tbSaveProgramMemory, "tbSaveProgramMemory", "Save Program Memory",
        style()->standardIcon(QStyle::SP_DialogSaveButton));
    add(a.tbInfoSheet, "tbInfoSheet", "Customer's info sheet", letterIcon("INF", file));
    add(a.tbLoadConfig, "tbLoadConfig", "Load Config File", letterIcon("CF", file));
    add(a.tbSaveConfig, "tbSaveConfig", "Save ConFig File", letterIcon("SC", file));
    bar->addSeparator();
    add(a.Erase, "Erase", "Erase Flash memory", letterIcon("ER", QColor(170, 50, 50)));
    add(a.tbBlankCheck, "tbBlankCheck", "Blank Check", letterIcon("BC", op));
    add(a.tbReadIC, "tbReadIC", "Read IC", letterIcon("RD", op));
    add(a.tbVerify, "tbVerify", "Verify", letterIcon("VF", op));
    add(a.tbVerifyProtect, "tbVerifyProtect", "Verify in protect mode", letterIcon("VP", op));
    add(a.tbProgramID, "tbProgramID", "Program ID & Checksum", letterIcon("ID", prog));
    add(a.tbProgramMemory, "tbProgramMemory", "Program Memory", letterIcon("PM", prog));
    add(a.tbProgramOption, "tbProgramOption", "Program OPTION", letterIcon("OP", prog));
    add(a.tbWriteEEPROM, "tbWriteEEPROM", "Write EEPROM", letterIcon("EE", prog));
    add(a.tbAutoProgram, "tbAutoProgram", "Auto program", letterIcon("AP", QColor(150, 40, 150)));
    add(a.tbAutoProgramNoBlankCheck, "tbAutoProgramNoBlankCheck", "Auto program without blank check",
        letterIcon("AP2", QColor(150, 40, 150)));
    bar->addSeparator();
    add(a.tbCascade, "tbCascade", "Cascade", letterIcon("CA", win));
    add(a.tbTileHorizontal, "tbTileHorizontal", "Tile Horizontally", letterIcon("TH", win));
    add(a.tbTileVertical, "tbTileVertical", "Tile Vertically", letterIcon("TV", win));
    bind(
        a.tbCascade, [&a] { a.WindowCascade1->trigger(); }, Waits::never);
    bind(
        a.tbTileHorizontal, [&a] { a.WindowTileHorizontal1->trigger(); }, Waits::never);
    bind(
        a.tbTileVertical, [&a] { a.WindowTileVertical1->trigger(); }, Waits::never);
    bar->addSeparator();

    auto* label3 = new QLabel(" Serial Port : ", this);
    label3->setObjectName("Label3");
    engineering_.Label3 = label3;
    bar->addWidget(label3);
    // Com1 .. Com8, then the adapters present by their stable names; read again each time the list opens
    // (an adapter may have been plugged in since).
    comboBox1_ = new PortList([this] { refreshPortList(); }, this);
    comboBox1_->setObjectName("ComboBox1");
    bar->addWidget(comboBox1_);
    handShake_ = new QComboBox(this);
    handShake_->setObjectName("HandShake");
    handShake_->addItems({"Default", "CTS", "None"});
    bar->addWidget(handShake_);
    a.ForceWrite = new QAction("Force Write", this);
    a.ForceWrite->setObjectName("ForceWrite");
    a.ForceWrite->setToolTip("Force Write");
    bar->addAction(a.ForceWrite);
    a.ForceWrite->setVisible(false);
}

void TMainForm::buildPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("Panel1");
    panel->setFixedWidth(290);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    auto label = [this](const QString& name, const QString& text, QWidget* parent) {
        auto* l = new QLabel(parent);
        l->setTextFormat(Qt::PlainText);  // file names, ID characters: never markup
        l->setText(text);
        l->setObjectName(name);
        labels_[name.toStdString()] = l;
        return l;
    };
    auto value = [&](const QString& name, QWidget* parent, const QString& hint = {}) {
        QLabel* l = label(name, "", parent);
        l->setStyleSheet("QLabel { color: #00308F; font-weight: bold; } QLabel:disabled { color: #9098A0; }");
        if (!hint.isEmpty()) l->setToolTip(hint);
        return l;
    };
    // Double-clicks on the option group and its labels open the option editor.
    auto editsOptions = [this](QWidget* w) {
        bindDoubleClick(w, [this] { actions_.EditOPTION->trigger(); });
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
    editsOptions(options);
    auto* grid = new QGridLayout(options);
    grid->setVerticalSpacing(2);
    for (int k = 0; k < 13; ++k) {
        QLabel* c = label(optionCaptionName(k), "", options);
        QLabel* v = value(optionValueName(k), options);
        editsOptions(c);
        editsOptions(v);
        grid->addWidget(c, k, 0);
        grid->addWidget(v, k, 1);
    }
    QLabel* valueCaption = label("lbOptionValueCaption", "Option value :", options);
    QLabel* optionValue = value("stOptionValue", options);
    editsOptions(valueCaption);
    editsOptions(optionValue);
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
    auto* idRow = new QVBoxLayout(id);
    QLabel* lbId = value("lbID", id);
    idRow->addWidget(lbId);
    column->addWidget(id);
    for (QWidget* w : {static_cast<QWidget*>(id), static_cast<QWidget*>(lbId)})
        bindDoubleClick(w, [this] { actions_.ID2->trigger(); });

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
    sn->addWidget(value("lbLotCounts", serial,
                        "Passed / failed / interrupted chips of this lot in the production journal"),
                  2, 2);
    column->addWidget(serial);

    auto* pass = new QGroupBox("Pass Count :", panel);
    pass->setObjectName("gbPassCount");
    bindDoubleClick(pass, [this] { actions_.CounterMode1->trigger(); });
    auto* passRow = new QVBoxLayout(pass);
    QLabel* count = value("Label13", pass);
    count->setStyleSheet("color: #006000; font-weight: bold; font-size: 16pt;");
    passRow->addWidget(count);
    column->addWidget(pass);

    // The engineering panel: hidden until unlocked with the access code.
    auto* panel2 = new QGroupBox("Engineering", panel);
    panel2->setObjectName("Panel2");
    engineering_.Panel2 = panel2;
    auto* eng = new QGridLayout(panel2);
    auto button = [&](const char* name, int rowIndex, const QString& caption) {
        eng->addWidget(label(QString("lb") + name, caption, panel2), rowIndex, 0);
        auto* b = new QPushButton("Enable", panel2);
        b->setObjectName(name);
        eng->addWidget(b, rowIndex, 1);
        return b;
    };
    engineering_.QtpSim = button("QtpSim", 0, "QTP Sim");
    engineering_.FlashPgmTest = button("FlashPgmTest", 1, "Flash Pgm test");
    engineering_.btShowTime = button("btShowTime", 2, "Show program time:");
    auto field = [&](const char* name, int rowIndex, const QString& caption, const QString& unit,
                     const std::string& text) {
        eng->addWidget(label(QString("lb") + name, caption, panel2), rowIndex, 0);
        auto* e = new QLineEdit(qs(text), panel2);
        e->setObjectName(name);
        e->setMaximumWidth(60);
        eng->addWidget(e, rowIndex, 1);
        eng->addWidget(label(QString("lb") + name + "Unit", unit, panel2), rowIndex, 2);
        return e;
    };
    engineering_.PulseWidth =
        field("PulseWidth", 3, "Write pulse width:", "x 0.2ms", st_.panel.pulseWidthText);
    engineering_.EraseWidth =
        field("EraseWidth", 4, "Erase pulse width:", "x 0.1ms", st_.panel.eraseWidthText);
    panel2->setVisible(false);
    column->addWidget(panel2);
    column->addStretch(1);
}

void TMainForm::buildStatusBar() {
    auto* bar = statusBar();
    bar->setObjectName("StatusBar1");
    for (const char* name : {"lbStatusLog", "lbStatusDevice", "lbStatusPort", "lbStatusWriter"}) {
        auto* l = new QLabel(this);
        l->setTextFormat(Qt::PlainText);
        l->setObjectName(name);
        labels_[name] = l;
        bar->addPermanentWidget(l);
    }
    auto* data = new QLabel(this);
    data->setTextFormat(Qt::PlainText);
    data->setObjectName("lbStatusData");
    data->setStyleSheet("color: #B00000; font-weight: bold;");
    labels_["lbStatusData"] = data;
    bar->addWidget(data, 1);
    reloadButton_ = new QPushButton("Reload", this);
    reloadButton_->setObjectName("btReload");
    reloadButton_->setVisible(false);
    bind(reloadButton_, [this] { loadFile(qs(st_.dataFileName)); });
    bar->addWidget(reloadButton_);
}

}  // namespace qzr::gui
