#include "gui/image/FillBufferForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "gui/common/DialogButtons.h"

namespace qzr::gui {

namespace {

// A field of at most four hexadecimal digits: every other key (and pasted text holding one) is discarded.
QLineEdit* hexField(QWidget* parent, const char* name, const std::string& text) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(name);
    edit->setMaxLength(4);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,4}"), edit));
    return edit;
}

}  // namespace

TFillBufferForm::TFillBufferForm(const FillDialogTexts& initial, QWidget* parent) : QDialog(parent) {
    setObjectName("TFillBufferForm");
    setWindowTitle("Fill Buffer");
    auto* grid = new QGridLayout(this);
    edStart_ = hexField(this, "edStart", initial.start);
    edEnd_ = hexField(this, "edEnd", initial.end);
    edData_ = hexField(this, "edData", initial.data);
    grid->addWidget(new QLabel("Start address :", this), 0, 0);
    grid->addWidget(edStart_, 0, 1);
    grid->addWidget(new QLabel("End address :", this), 1, 0);
    grid->addWidget(edEnd_, 1, 1);
    grid->addWidget(new QLabel("Data :", this), 2, 0);
    grid->addWidget(edData_, 2, 1);
    const auto [buttons, ok, cancel] = okCancelRow(this, "btOk", "btCancel");
    grid->addLayout(buttons, 3, 0, 1, 2);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

FillDialogTexts TFillBufferForm::texts() const {
    return FillDialogTexts{edStart_->text().toStdString(), edEnd_->text().toStdString(),
                           edData_->text().toStdString()};
}

}  // namespace qzr::gui
