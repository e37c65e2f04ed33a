#include "gui/options/IdWindow.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/IdCommands.h"
#include "app/MainState.h"
#include "core/options/IdCode.h"
#include "gui/common/DialogButtons.h"
#include "gui/common/ModalRunner.h"

namespace qzr::gui {

namespace {

// The ID bytes are shown as 8-bit characters, one per byte.
QString latin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QLabel* sunken(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);  // ID bytes are characters, never markup
    label->setObjectName(name);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setMinimumWidth(260);
    return label;
}

}  // namespace

TIDChecksumForm::TIDChecksumForm(MainState& st, QWidget* parent) : QWidget(parent), st_(st) {
    setObjectName("TIDChecksumForm");
    setWindowTitle("ID and Checksum");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* column = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    column->addLayout(top);

    auto* radio = new QGroupBox("ASCII or HEX", this);
    radio->setObjectName("RadioGroup1");
    auto* radioRow = new QHBoxLayout(radio);
    ascii_ = new QRadioButton("ASCII", radio);
    ascii_->setObjectName("rbAscii");
    hex_ = new QRadioButton("HEX", radio);
    hex_->setObjectName("rbHex");
    radioRow->addWidget(ascii_);
    radioRow->addWidget(hex_);
    (st_.options.idDisplayMode == kIdModeHex ? hex_ : ascii_)->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->addButton(ascii_, kIdModeAscii);
    group->addButton(hex_, kIdModeHex);
    connect(group, &QButtonGroup::idClicked, this, [this] { RadioGroup1Change(); });

    auto* idCaption = new QLabel("ID: ", this);
    idCaption->setObjectName("StaticText1");  // a double-click here toggles the extended view
    idLabel_ = sunken(this, "Label2");
    idLabel_->setToolTip("Double-click to edit the ID");
    auto* checksumCaption = new QLabel("IC Checksum:", this);
    checksumCaption->setObjectName("StaticText5");  // a double-click here toggles the option rows
    checksumLabel_ = sunken(this, "lbIdChecksum");
    QFont mono("DejaVu Sans Mono");
    mono.setStyleHint(QFont::Monospace);
    idLabel_->setFont(mono);
    checksumLabel_->setFont(mono);
    for (QWidget* w : {static_cast<QWidget*>(idCaption), static_cast<QWidget*>(checksumCaption),
                       static_cast<QWidget*>(idLabel_)})
        w->installEventFilter(this);

    top->addWidget(radio, 0, 0, 1, 2);
    top->addWidget(idCaption, 1, 0);
    top->addWidget(idLabel_, 1, 1);
    top->addWidget(checksumCaption, 2, 0);
    top->addWidget(checksumLabel_, 2, 1);
    auto* buttons = new QHBoxLayout;
    auto* edit = new QPushButton("Edit ID", this);
    edit->setObjectName("btEditID");
    auto* exit = new QPushButton("Exit", this);
    exit->setObjectName("Button2");
    buttons->addStretch();
    buttons->addWidget(edit);
    buttons->addWidget(exit);
    column->addLayout(buttons);
    connect(edit, &QPushButton::clicked, this, [this] { Label2DblClick(); });
    connect(exit, &QPushButton::clicked, this, [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->close();
        else
            close();
    });

    // The extended rows, filled once when the window is created: the writer rows and the dump show in the
    // extended view, the option rows below them only at the full height.
    const IdExtendedView ext = idExtendedView(st_.options, st_.optionBytes, st_.image);
    const std::pair<const char*, const std::string*> lines[] = {
        {"Writer ID :", &ext.writerId},
        {"Writer Model :", &ext.writerModel},
        {"Firmware Ver. :", &ext.firmwareVersion},
        {"Gang Writer ID :", &ext.gangWriterId},
        {"Gang Writer Model :", &ext.gangWriterModel},
        {"Gang Writer Ver. :", &ext.gangWriterVersion},
        {"", &ext.dump},
        {"User option (00h-03h) :", &ext.userOption},
        {"Body option (00h-03h):", &ext.bodyOption0},
        {"Body option (10h-13h):", &ext.bodyOption1},
    };
    for (int part = 0; part < 2; ++part) {
        auto* panel = new QWidget(this);
        panel->setObjectName(part == 0 ? "pnExtended" : "pnOptionRows");
        auto* rows = new QGridLayout(panel);
        rows->setContentsMargins(0, 4, 0, 0);
        const int first = part == 0 ? 0 : 7;
        const int last = part == 0 ? 7 : 10;
        for (int r = first; r < last; ++r) {
            const auto& [caption, value] = lines[r];
            rows->addWidget(new QLabel(caption, panel), r, 0);
            auto* v = new QLabel(panel);
            v->setTextFormat(Qt::PlainText);
            v->setText(latin1(*value));
            v->setFont(mono);
            v->setObjectName(QString("lbExtended%1").arg(r + 1));
            rows->addWidget(v, r, 1);
        }
        rows->setColumnStretch(1, 1);
        panel->setVisible(false);
        column->addWidget(panel);
        (part == 0 ? extended_ : optionRows_) = panel;
    }
    column->addStretch();
    IDLabelShow();
}

TIDChecksumForm::~TIDChecksumForm() {
    st_.idWindowOpen = false;
}

void TIDChecksumForm::IDLabelShow() {
    qzr::IDLabelShow(st_.options, st_.device, st_.image, *st_.views);
    idLabel_->setText(latin1(st_.options.idText));
    checksumLabel_->setText(latin1(st_.options.idChecksumText));
}

void TIDChecksumForm::RadioGroup1Change() {
    st_.options.idDisplayMode = hex_->isChecked() ? kIdModeHex : kIdModeAscii;
    IDLabelShow();
}

void TIDChecksumForm::Label2DblClick() {
    TIDModify editor(st_, this);
    if (runModal(editor) == QDialog::Accepted) IDLabelShow();
}

void TIDChecksumForm::setViewHeight(int height) {
    height_ = height;
    extended_->setVisible(height != kNormalHeight);
    optionRows_->setVisible(height == kOptionRowsHeight);
    QWidget* frame = parentWidget() ? parentWidget() : this;
    frame->resize(frame->width(), height);
}

void TIDChecksumForm::StaticText1DblClick() {
    setViewHeight(height_ == kNormalHeight ? kExtendedHeight : kNormalHeight);
}

void TIDChecksumForm::StaticText5DblClick() {
    setViewHeight(height_ == kExtendedHeight ? kOptionRowsHeight : kExtendedHeight);
}

bool TIDChecksumForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        const QString name = watched->objectName();
        if (name == "Label2") {
            Label2DblClick();
            return true;
        }
        if (name == "StaticText1") {
            StaticText1DblClick();
            return true;
        }
        if (name == "StaticText5") {
            StaticText5DblClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

TIDModify::TIDModify(MainState& st, QWidget* parent)
    : QDialog(parent), st_(st), mode_(st.options.idDisplayMode) {
    setObjectName("TIDModify");
    setWindowTitle("ID Modify");
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel("Enter the ID :", this));
    edit_ = new QLineEdit(this);
    QFont mono("DejaVu Sans Mono");
    mono.setStyleHint(QFont::Monospace);
    edit_->setFont(mono);
    if (mode_ == kIdModeHex) {
        // Twelve bytes of two hexadecimal digits, upper case, the blanks part of the text.
        edit_->setObjectName("MaskEdit1");
        edit_->setInputMask(">HH HH HH HH HH HH HH HH HH HH HH HH;_");
        edit_->setText(QString::fromStdString(idEditorText(st_.image, kIdModeHex)).remove(' '));
    } else {
        edit_->setObjectName("Edit1");
        edit_->setMaxLength(12);
        edit_->setText(latin1(idEditorText(st_.image, kIdModeAscii)));
    }
    edit_->setMinimumWidth(300);
    column->addWidget(edit_);
    const auto [buttons, ok, cancel] = okCancelRow(this, "BitBtn1", "BitBtn2");
    column->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

void TIDModify::BitBtn1Click() {
    // HEX mode: the shown text, an unfilled place ("_") reading as F; ASCII mode: one byte per character.
    const QString text = mode_ == kIdModeHex ? edit_->displayText() : edit_->text();
    const QByteArray bytes = text.toLatin1();
    applyIdEditorText(st_, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                      mode_);
    accept();
}

}  // namespace qzr::gui
