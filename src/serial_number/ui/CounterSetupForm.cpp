#include "serial_number/ui/CounterSetupForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/MainState.h"
#include "serial_number/PassCounter.h"

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
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("BitBtn1");
    ok->setDefault(true);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("BitBtn2");
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    column->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        SetPassCount(st_.serial, *st_.views, edit_->text().toStdString());
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace qzr::gui
