#include "gui/disasm/DisassembleForm.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "app/MainState.h"
#include "core/disasm/Disassembler.h"

namespace qzr::gui {

TDisassembleForm::TDisassembleForm(MainState& st, QWidget* parent) : QWidget(parent), st_(st) {
    setObjectName("TDisassembleForm");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName("Memo1");
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono("DejaVu Sans Mono");
    mono.setStyleHint(QFont::Monospace);
    if (!QFontInfo(mono).fixedPitch()) mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    memo_->setFont(mono);
    // The window shows the listing's lines; the file gets CR LF again when it is saved.
    QString text = QString::fromLatin1(disassembleProgram(st_.device, st_.image));
    text.remove('\r');
    if (text.endsWith('\n')) text.chop(1);
    memo_->setPlainText(text);
    column->addWidget(memo_);
}

TDisassembleForm::~TDisassembleForm() {
    st_.disassemblyOpen = false;
}

QString TDisassembleForm::listing() const {
    return memo_->toPlainText() + '\n';
}

}  // namespace qzr::gui
