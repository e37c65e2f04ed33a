#include "gui/serial_number/SerialNoSetupForm.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/MainState.h"
#include "app/QtpCommands.h"
#include "app/SerialNumberCommands.h"
#include "gui/common/Guarded.h"
#include "gui/common/ModalRunner.h"
#include "gui/common/Text.h"

namespace qzr::gui {

TSerialNoSetupForm::TSerialNoSetupForm(MainState& st, QtpFileChooser chooseQtp, QWidget* parent)
    : QDialog(parent), st_(st), chooseQtp_(std::move(chooseQtp)), fields_(FillSerialNoFields(st.serial)) {
    setObjectName("TSerialNoSetupForm");
    setWindowTitle("Serial No.");
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* column = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    struct Row {
        SerialField field;
        const char* name;
        const char* caption;
        const char* hint;
    };
    const Row rows[] = {
        {SerialField::StartAddress, "StartAddress", "Start Address :", "(HEX)"},
        {SerialField::NoOfByte, "NoOfByte", "No. of Byte :", "(1 ~ 8)"},
        {SerialField::StartValue, "StartValue", "Start Value :", "(HEX)"},
        {SerialField::Increment, "Increment", "Increment :", "(1~255)"},
        {SerialField::NoOfPart, "NoOfPart", "No. of Parts :", "(DEC)"},
    };
    int r = 0;
    for (const Row& row : rows) {
        grid->addWidget(new QLabel(row.caption, this), r, 0);
        auto* e = new QLineEdit(this);
        e->setObjectName(row.name);
        e->installEventFilter(this);
        grid->addWidget(e, r, 1);
        grid->addWidget(new QLabel(row.hint, this), r, 2);
        edits_[row.field] = e;
        const SerialField field = row.field;
        connect(e, &QLineEdit::textEdited, this, [this, field, e](const QString& text) {
            const int cursor = e->cursorPosition();
            const int before = static_cast<int>(text.size());
            TypeSerialField(fields_, field, text.toStdString());
            const QString kept = qs(fieldText(fields_, field));
            if (kept != text) {
                e->setText(kept);
                e->setCursorPosition(std::max(0, cursor - (before - static_cast<int>(kept.size()))));
            }
        });
        ++r;
    }
    column->addLayout(grid);

    auto group = [&](const char* name, const char* title, const char* a, const char* b, QRadioButton** out) {
        auto* box = new QGroupBox(title, this);
        box->setObjectName(name);
        auto* l = new QHBoxLayout(box);
        out[0] = new QRadioButton(a, box);
        out[1] = new QRadioButton(b, box);
        out[0]->setObjectName(QString(name) + "_0");
        out[1]->setObjectName(QString(name) + "_1");
        l->addWidget(out[0]);
        l->addWidget(out[1]);
        column->addWidget(box);
    };
    group("RadioGroup1", "Serial No. Mode", "Sequential", "Pseudo-random", mode_);
    group("RadioGroup2", "MSB or LSB First", "MSB->LSB", "LSB->MSB", order_);
    group("RadioGroup3", "Program to", "Program memory", "EEPROM", target_);
    for (int i = 0; i < 2; ++i) {
        connect(mode_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (!on) return;
            fields_.mode = static_cast<SerialKind>(i);
            edit(SerialField::Increment)->setEnabled(incrementEnabled(fields_));
        });
        connect(order_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) fields_.byteOrder = static_cast<SerialByteOrder>(i);
        });
        connect(target_[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) fields_.target = static_cast<SerialTarget>(i);
        });
    }

    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* disable = button("BtnDisable", "Disable Serial Mode");
    QPushButton* qtp = button("BtnQtpFile", "QTP File");
    QPushButton* ok = button("BtnOK", "OK");
    QPushButton* abort = button("BtnAbort", "Abort");
    ok->setDefault(true);
    for (QPushButton* b : {disable, qtp, abort}) b->setAutoDefault(false);
    column->addLayout(buttons);
    auto* note = new QLabel("( Only available in Auto program mode!! )", this);
    note->setAlignment(Qt::AlignCenter);
    column->addWidget(note);

    connect(ok, &QPushButton::clicked, this, [this] {
        guarded([this] {
            if (!leaveFocused()) return;
            const bool closes = BtnOKClick(st_, fields_);
            showFields();
            if (closes) accept();
        });
    });
    connect(disable, &QPushButton::clicked, this, [this] { guarded([this] { BtnDisableClick(st_); }); });
    connect(qtp, &QPushButton::clicked, this, [this] {
        guarded([this] {
            if (!leaveFocused()) return;
            const QtpWriteResult result = BtnQtpFileClick(st_, fields_, chooseQtp_);
            showFields();
            if (result == QtpWriteResult::Written) accept();
        });
    });
    connect(abort, &QPushButton::clicked, this, [this] { reject(); });
    showFields();
}

void TSerialNoSetupForm::showFields() {
    for (auto& [field, e] : edits_) {
        const QSignalBlocker block(e);
        // "Start Value" takes a pasted value whole; leaving it trims it to 2n digits (the core's rule).
        if (field != SerialField::StartValue)
            e->setMaxLength(static_cast<int>(serialFieldMaxLength(fields_, field)));
        e->setText(qs(fieldText(fields_, field)));
    }
    const QSignalBlocker b0(mode_[0]), b1(mode_[1]), b2(order_[0]), b3(order_[1]), b4(target_[0]),
        b5(target_[1]);
    mode_[static_cast<int>(fields_.mode) & 1]->setChecked(true);
    order_[static_cast<int>(fields_.byteOrder) & 1]->setChecked(true);
    target_[static_cast<int>(fields_.target) & 1]->setChecked(true);
    edit(SerialField::Increment)->setEnabled(incrementEnabled(fields_));
}

bool TSerialNoSetupForm::leave(SerialField f) {
    const bool ok = LeaveSerialField(fields_, f, *st_.ui);
    showFields();
    return ok;
}

bool TSerialNoSetupForm::leaveFocused() {
    for (auto& [field, e] : edits_)
        if (e->hasFocus()) return leave(field);
    return true;
}

bool TSerialNoSetupForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // A message box or another window taking the focus is no leaving of the field.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            for (auto& [field, e] : edits_)
                if (e == watched) {
                    const SerialField f = field;
                    guarded([this, f] { leave(f); });
                    break;
                }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSerialNoSetupForm::guarded(const std::function<void()>& f) {
    gui::guarded(*st_.ui, f);
}

void SerialNoMode1Click(MainState& st, QtpFileChooser chooseQtp, QWidget* parent) {
    {
        TSerialNoSetupForm form(st, std::move(chooseQtp), parent);
        runModal(form);
    }
    SerialNoDialogClosed(st);
}

}  // namespace qzr::gui
