#include "gui/main/ShellWindows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/SystemInfo.h"
#include "gui/common/Text.h"

namespace qzr::gui {

namespace {

QLabel* named(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

// The about box's small picture: a chip in a socket.
QPixmap chipPicture() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 150, 150), 2));
    for (int i = 0; i < 4; ++i) {
        p.drawLine(10, 14 + 11 * i, 18, 14 + 11 * i);
        p.drawLine(46, 14 + 11 * i, 54, 14 + 11 * i);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    p.drawRoundedRect(QRectF(18, 6, 28, 52), 3, 3);
    p.setBrush(QColor(190, 100, 30));
    p.drawEllipse(QPointF(32, 12), 3, 3);
    return pixmap;
}

}  // namespace

TPasswordForm::TPasswordForm(QWidget* parent) : QDialog(parent) {
    setObjectName("TPasswordForm");
    setWindowTitle("Password");
    setModal(true);
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(named("Label1", "Password :", this));
    edit_ = new QLineEdit(this);
    edit_->setObjectName("MaskEdit1");
    // Up to eight letters or digits; what was not typed counts as blanks (text()). The field starts empty,
    // so typing goes in at once, wherever the field was clicked (a field of eight blanks with the cursor
    // behind them took nothing until Home).
    edit_->setMaxLength(8);
    edit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[A-Za-z0-9]{0,8}"), edit_));
    edit_->setFocus();
    row->addWidget(edit_);
    column->addLayout(row);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("btOK");
    ok->setDefault(true);
    column->addWidget(ok, 0, Qt::AlignCenter);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

std::string TPasswordForm::text() const {
    QString t = edit_->text().left(8);
    while (t.size() < 8) t += ' ';
    return t.toStdString();
}

TAboutBox::TAboutBox(const QString& mainWindowTitle, const std::string& writerIdText, QWidget* parent)
    : QDialog(parent) {
    setObjectName("TAboutBox");
    setWindowTitle("About QZR Writer");
    setModal(true);
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* picture = named("ProgramIcon", {}, this);
    picture->setPixmap(chipPicture());
    top->addWidget(picture);
    auto* titles = new QVBoxLayout;
    QLabel* product = named("ProductName", "QZR", this);
    QLabel* writer = named("ProductName2", "Writer", this);
    for (QLabel* l : {product, writer}) {
        QFont f = l->font();
        f.setPixelSize(22);
        f.setBold(true);
        l->setFont(f);
        titles->addWidget(l);
    }
    top->addLayout(titles);
    top->addStretch(1);
    column->addLayout(top);
    column->addWidget(named("Version", qs(aboutVersionText(mainWindowTitle.toStdString())), this));
    column->addWidget(named("lbMemoryCaption", "Memory Available to Windows :", this));
    column->addWidget(named("PhysMem", qs(memoryText(physicalMemoryKb())), this));
    column->addWidget(named("OSVersion", qs(operatingSystemText()), this));
    column->addWidget(named("lbFirmwareCaption", "Writer firmware version :", this));
    column->addWidget(named("FirmwareVersion", qs(writerFirmwareText(writerIdText)), this));
    auto* exit = new QPushButton("Exit", this);
    exit->setObjectName("OKButton");
    exit->setDefault(true);
    column->addWidget(exit, 0, Qt::AlignCenter);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
}

TVersionInfo::TVersionInfo(QWidget* parent) : QDialog(parent) {
    setObjectName("TVersionInfo");
    setWindowTitle("VersionInfo");
    setModal(true);
    auto* column = new QVBoxLayout(this);
    auto* memo = new QPlainTextEdit(this);
    memo->setObjectName("Memo1");
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setPlainText(QString::fromLatin1(versionHistoryText()).remove('\r'));
    column->addWidget(memo);
    auto* exit = new QPushButton("Exit", this);
    exit->setObjectName("btExit");
    column->addWidget(exit, 0, Qt::AlignCenter);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);
    resize(480, 360);
}

}  // namespace qzr::gui
