#include "gui/config/ConfigForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainState.h"

namespace qzr::gui {

namespace {

struct Box {
    const char* name;
    const char* caption;
    bool Settings::*setting;
};
const Box kBoxes[4] = {
    {"cbBypassIcCheck", "Bypass IC check", &Settings::bypassIcCheck},
    {"cbKeepOption", "Keep Options while new program data are loaded", &Settings::keepOptions},
    {"cbWriteEEinAuto", "Program EEPROM in Auto program mode", &Settings::programEepromInAuto},
    {"cbSaveEEData", "Save program data will also save EEPROM data", &Settings::saveEepromWithData},
};

}  // namespace

TfmConfig::TfmConfig(MainState& st, QWidget* parent) : QDialog(parent), st_(st) {
    setObjectName("TfmConfig");
    setWindowTitle(QString());
    setFixedSize(391, 343);
    auto* column = new QVBoxLayout(this);
    auto* heading = new QLabel("Configuration", this);
    heading->setAlignment(Qt::AlignHCenter);
    QFont big = heading->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    heading->setFont(big);
    column->addWidget(heading);
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    column->addWidget(rule);
    for (std::size_t i = 0; i < 4; ++i) {
        boxes_[i] = new QCheckBox(kBoxes[i].caption, this);
        boxes_[i]->setObjectName(kBoxes[i].name);
        boxes_[i]->setChecked(st_.settings.*kBoxes[i].setting);
        column->addWidget(boxes_[i]);
    }
    auto* logRow = new QHBoxLayout;
    auto* logCaption = new QLabel("Production log (CSV):", this);
    logCaption->setObjectName("lbProductionLog");
    productionLog_ = new QLineEdit(QString::fromStdString(st_.operation.productionLogPath), this);
    productionLog_->setObjectName("edProductionLog");
    productionLog_->setPlaceholderText("none");
    logRow->addWidget(logCaption);
    logRow->addWidget(productionLog_, 1);
    column->addLayout(logRow);
    auto* journalRow = new QHBoxLayout;
    auto* journalCaption = new QLabel("Production journal:", this);
    journalCaption->setObjectName("lbJournal");
    journal_ = new QLineEdit(QString::fromStdString(st_.journal.path), this);
    journal_->setObjectName("edJournal");
    journal_->setPlaceholderText("qzr-journal.db beside the project");
    journalRow->addWidget(journalCaption);
    journalRow->addWidget(journal_, 1);
    column->addLayout(journalRow);
    voidFailed_ = new QCheckBox("Void the serial numbers of failed chips", this);
    voidFailed_->setObjectName("cbVoidFailed");
    voidFailed_->setChecked(st_.journal.voidFailed);
    column->addWidget(voidFailed_);
    column->addStretch();
    auto* row = new QHBoxLayout;
    auto* exit = new QPushButton("Exit", this);
    exit->setObjectName("btExit");
    row->addStretch();
    row->addWidget(exit);
    row->addStretch();
    column->addLayout(row);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
}

void TfmConfig::FormClose() {
    for (std::size_t i = 0; i < 4; ++i) st_.settings.*kBoxes[i].setting = boxes_[i]->isChecked();
    st_.operation.productionLogPath = productionLog_->text().trimmed().toStdString();
    st_.journal.path = journal_->text().trimmed().toStdString();
    st_.journal.voidFailed = voidFailed_->isChecked();
}

void TfmConfig::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TfmConfig::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

}  // namespace qzr::gui
