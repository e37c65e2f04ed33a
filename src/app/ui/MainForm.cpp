#include "app/ui/MainForm.h"

#include <QComboBox>
#include <QMdiArea>
#include <QToolBar>

#include "app/DeviceCommands.h"
#include "device/DeviceCatalogue.h"

namespace qzr::gui {

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("MainForm");
    setWindowTitle(QString("QZR Writer V") + kVersionText);
    mdi_ = new QMdiArea(this);
    setCentralWidget(mdi_);

    auto* toolbar = addToolBar("ToolBar2");
    toolbar->setObjectName("ToolBar2");
    comboBox2_ = new QComboBox(this);
    comboBox2_->setObjectName("ComboBox2");
    for (const DeviceRecord& r : deviceTable()) comboBox2_->addItem(QString::fromLatin1(r.name));
    comboBox2_->setCurrentIndex(0);
    toolbar->addWidget(comboBox2_);
    connect(comboBox2_, &QComboBox::currentIndexChanged, this, [this] { ComboBox2Change(); });
    resize(900, 640);
}

TMainForm::~TMainForm() = default;

void TMainForm::ComboBox2Change() { selectDevice(st_, comboBox2_->currentText().toStdString()); }

}  // namespace qzr::gui
