#include "gui/serial_number/CounterSetupForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/MainState.h"
#include "core/serial_number/PassCounter.h"
#include "gui/common/DialogButtons.h"

namespace qzr::gui {

TCounterSetupForm::TCounterSetupForm(MainState& st, QWidget* parent) : QDialog(parent), st_(st) {
    setObjectName("TCounterSetupForm");
    setWindowTitle("Counter Setup");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Start Value :", this));
    edit_ = new QLineEdit(QString::fromStdString(st_.serial.passCountText), this);
    edit_->setObjectName("Edit1");
    edit_->setMaxLength(static_cast<int>(kPassCountFieldLength));
    // Digits only: any other key (and pasted text holding one) has no effect.
    edit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit_));
    row->addWidget(edit_);
    column->addLayout(row);
    column->addWidget(new QLabel("( Only available in Auto program mode!! )", this));
    const auto [buttons, ok, cancel] = okCancelRow(this, "BitBtn1", "BitBtn2");
    column->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        SetPassCount(st_.serial, *st_.views, edit_->text().toStdString());
        accept();
    });
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace qzr::gui
