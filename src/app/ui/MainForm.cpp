#include "app/ui/MainForm.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QSignalBlocker>
#include <QToolBar>

#include "app/DeviceCommands.h"
#include "app/ui/GuiUserInterface.h"
#include "config/ConfigFile.h"
#include "device/DeviceCatalogue.h"
#include "writer/WriterDetect.h"

namespace qzr::gui {

TMainForm::TMainForm(QWidget* parent, const std::string& startupDirectory, UserInterface* ui)
    : QMainWindow(parent) {
    setObjectName("MainForm");
    setWindowTitle(QString("QZR Writer V") + kVersionText);
    if (!startupDirectory.empty()) st_.startupDirectory = startupDirectory;
    if (ui) {
        st_.ui = ui;
    } else {
        ownUi_ = std::make_unique<GuiUserInterface>(this);
        st_.ui = ownUi_.get();
    }
    mdi_ = new QMdiArea(this);
    setCentralWidget(mdi_);

    auto* toolbar = addToolBar("ToolBar2");
    toolbar->setObjectName("ToolBar2");
    comboBox2_ = new QComboBox(this);
    comboBox2_->setObjectName("ComboBox2");
    for (const DeviceRecord& r : deviceTable()) comboBox2_->addItem(QString::fromLatin1(r.name));
    comboBox2_->setCurrentIndex(0);
    toolbar->addWidget(comboBox2_);

    auto* label3 = new QLabel("Serial Port :", this);
    label3->setObjectName("Label3");
    toolbar->addWidget(label3);
    comboBox1_ = new QComboBox(this);
    comboBox1_->setObjectName("ComboBox1");
    for (int n = 1; n <= 8; ++n) comboBox1_->addItem(QString("Com%1").arg(n));
    toolbar->addWidget(comboBox1_);
    handShake_ = new QComboBox(this);
    handShake_->setObjectName("HandShake");
    handShake_->addItems({"Default", "CTS", "None"});
    toolbar->addWidget(handShake_);
    showSelections();

    connect(comboBox2_, &QComboBox::currentIndexChanged, this, [this] { ComboBox2Change(); });
    connect(comboBox1_, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    connect(handShake_, &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
    resize(900, 640);
}

TMainForm::~TMainForm() = default;

void TMainForm::showSelections() {
    const QSignalBlocker b1(comboBox1_), b2(comboBox2_), b3(handShake_);
    comboBox2_->setCurrentText(QString::fromStdString(st_.deviceListText));
    if (comboBox1_->findText(QString::fromStdString(st_.link.portEntry)) < 0) {
        comboBox1_->addItem(QString::fromStdString(st_.link.portEntry));  // a device path or "virtual"
    }
    comboBox1_->setCurrentText(QString::fromStdString(st_.link.portEntry));
    handShake_->setCurrentText(QString::fromStdString(st_.link.handshake));
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!st_.firstShowDone) FormShow();
}

void TMainForm::FormShow() {
    loadStartupConfig(st_, st_.startupDirectory);
    st_.firstShowDone = true;
    showSelections();
    StartupConnection(st_);
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (st_.link.Comm1) st_.link.Comm1->Close();
    saveExitConfig(st_, st_.startupDirectory);
    event->accept();
}

void TMainForm::ComboBox1Change() {
    st_.link.portEntry = comboBox1_->currentText().toStdString();
    st_.link.handshake = handShake_->currentText().toStdString();
    PortChanged(st_);
}

void TMainForm::ComboBox2Change() {
    selectDevice(st_, comboBox2_->currentText().toStdString());
}

}  // namespace qzr::gui
