#include "gui/options/EditOption.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "app/MainState.h"
#include "gui/common/DialogButtons.h"

namespace qzr::gui {

namespace {

const char* const kHelpLines[] = {
    "PRD=Power Range Detect.",
    "         Don't enable PRD if the operating voltage",
    "         is under 4.5V.",
    "OST=Oscillator Start-up Time.",
    "         Don't choice 150us if the oscillator type is",
    "         LF, XT or HF.",
    "PUT=Power Up Time.",
    "WDT=Watchdog Timer.",
    "PED=Power Edge Detect.",
    "         Low level around 1.8V.",
    "         Middle level around 2.1V. (recommend value)",
    "         High level around 3.8V.",
    "        (Please refer to the spec for the actual voltage)",
};

// Item 6 is the security item.
const char* const kDesignCaptions[13] = {
    "Option 1:", "Option 2:", "Option 3:",  "Option 4:",  "Option 5:",  "Security:", "Option 7:",
    "Option 8:", "Option 9:", "Option 10:", "Option 11:", "Option 12:", "Option 13:"};

}  // namespace

TEditOption::TEditOption(MainState& st, QWidget* parent)
    : QDialog(parent), editor_(st.optionBytes, st.optionsChanged, st.options, st.device, *st.ui) {
    setObjectName("TEditOption");
    setWindowTitle("Edit OPTION");
    auto* row = new QHBoxLayout(this);
    auto* grid = new QGridLayout;
    row->addLayout(grid);
    for (int k = 1; k <= 13; ++k) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        const OptionEditorItem& item = editor_.items()[i];
        auto* caption = new QLabel(kDesignCaptions[i], this);
        caption->setObjectName(QString("stOption%1").arg(k));
        auto* list = new QComboBox(this);
        list->setObjectName(QString("cbOption%1").arg(k));
        list->setMinimumWidth(200);
        // Lists 7 to 13 also take typed text.
        list->setEditable(k >= 7);
        captions_[i] = caption;
        lists_[i] = list;
        grid->addWidget(caption, k - 1, 0);
        grid->addWidget(list, k - 1, 1);
        if (!item.present) {
            caption->setEnabled(false);
            caption->setVisible(false);
            list->setEnabled(false);
            continue;
        }
        caption->setText(QString::fromLocal8Bit(item.caption.c_str()));
        {
            const QSignalBlocker block(list);
            for (const std::string& text : item.texts) list->addItem(QString::fromLocal8Bit(text.c_str()));
            list->setCurrentIndex(item.selected);
            if (item.selected < 0 && list->isEditable()) list->setEditText({});
        }
        if (list->isEditable()) {
            // A typed text that names no entry selects none: every bit of the item set.
            connect(list, &QComboBox::currentTextChanged, this, [this, k] { cbOptionChange(k); });
        } else {
            connect(list, &QComboBox::currentIndexChanged, this, [this, k] { cbOptionChange(k); });
        }
    }
    auto* help = new QPlainTextEdit(this);
    help->setObjectName("Memo1");
    help->setReadOnly(true);
    QStringList lines;
    for (const char* line : kHelpLines) lines << line;
    help->setPlainText(lines.join('\n'));
    help->setLineWrapMode(QPlainTextEdit::NoWrap);
    help->setMinimumWidth(420);
    QFont mono("DejaVu Sans Mono");
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(8);
    help->setFont(mono);
    auto* right = new QVBoxLayout;
    right->addWidget(help, 1);
    const auto [buttons, ok, cancel] = okCancelRow(this, "bbOk", "bbCancel");
    right->addLayout(buttons);
    row->addLayout(right, 1);
    connect(ok, &QPushButton::clicked, this, [this] {
        editor_.accept();
        accept();
    });
}

void TEditOption::cbOptionChange(int item) {
    QComboBox* list = lists_[static_cast<std::size_t>(item - 1)];
    int position = list->currentIndex();
    if (list->isEditable()) position = list->findText(list->currentText(), Qt::MatchExactly);
    editor_.select(item, position);
}

}  // namespace qzr::gui
