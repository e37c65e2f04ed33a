#include "gui/operations/ProgressDialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "app/MainState.h"
#include "core/writer/CommLink.h"
#include "gui/common/Guarded.h"
#include "gui/common/Text.h"

namespace qzr::gui {

namespace {

// Keys of the coalesced calls: one per line.
int progressKey(ViewLine l) {
    return static_cast<int>(l);
}
// ... and of the stream progress.
constexpr int kStreamKey = 100;

// The dialog's described size; it only ever grows from it.
constexpr int kBaseWidth = 382;
constexpr int kBaseHeight = 453;

const QColor kPassColour(0x1B, 0x7F, 0x2E);
const QColor kFailColour(0xC4, 0x1E, 0x1E);

}  // namespace

// The engine's view: every call is queued to the dialog's thread.
class TfmProgramVerify::View final : public OperationView {
  public:
    explicit View(TfmProgramVerify& d) : d_(d) {}
    void setText(ViewLine l, const std::string& text) override {
        d_.queue_.post([this, l, text] { d_.showLineText(l, qs(displayText(text))); });
    }
    void setProgress(ViewLine l, const std::string& text) override {
        d_.queue_.post([this, l, text] { d_.showLineText(l, qs(displayText(text))); }, progressKey(l));
    }
    void streamProgress(int done, int total) override {
        d_.queue_.post([this, done, total] { d_.showStreamProgress(done, total); }, kStreamKey);
    }
    void setRed(ViewLine l, bool red) override {
        d_.queue_.post([this, l, red] {
            QLabel* label = d_.line(l);
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText,
                       red ? QColor(Qt::red) : d_.palette().color(QPalette::WindowText));
            label->setPalette(p);
        });
    }
    void setVisible(ViewLine l, bool visible) override {
        d_.queue_.post([this, l, visible] {
            d_.line(l)->setVisible(visible);
            d_.fitLines();
        });
    }
    void setContinueEnabled(bool enabled) override {
        d_.queue_.post([this, enabled] { d_.btContinue_->setEnabled(enabled); });
    }
    void setExitEnabled(bool enabled) override {
        d_.queue_.post([this, enabled] { d_.btExit_->setEnabled(enabled); });
    }
    void setRepeatTimer(bool enabled) override {
        d_.queue_.post([this, enabled] {
            if (enabled) {
                d_.timer1_->start();
            } else {
                d_.timer1_->stop();
            }
        });
    }
    void stateChanged() override {
        // The worker of this run touches the state no more; a later run may have started by the time the
        // call is run.
        const int run = d_.runNumber_.load();
        d_.queue_.post([this, run] { d_.runEnded(run); });
    }

  private:
    TfmProgramVerify& d_;
};

TfmProgramVerify::TfmProgramVerify(MainState& st, QWidget* parent, std::function<void()> stateChanged)
    : QDialog(parent),
      st_(st),
      stateChanged_(std::move(stateChanged)),
      queue_(this),
      view_(std::make_unique<View>(*this)),
      session_(std::make_unique<OperationSession>(st, *view_)) {
    setObjectName("TfmProgramVerify");
    setModal(true);

    auto* column = new QVBoxLayout(this);
    // The dialog is at least its described size and grows to whatever its lines need.
    column->setSizeConstraint(QLayout::SetMinimumSize);
    auto makeLabel = [&](ViewLine l, int pixelSize, bool visible) {
        auto* label = new QLabel(this);
        label->setObjectName(viewLineName(l));
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
        QFont font("Arial");
        font.setPixelSize(pixelSize);
        label->setFont(font);
        label->setVisible(visible);
        lines_[static_cast<std::size_t>(l)] = label;
        column->addWidget(label);
        return label;
    };
    auto bevel = [&] {
        auto* f = new QFrame(this);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        column->addWidget(f);
    };
    QLabel* title = makeLabel(ViewLine::Title, 24, true);
    title->setText("Auto Program");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    bevel();
    for (ViewLine l : {ViewLine::Erase, ViewLine::BlankCheck, ViewLine::Id, ViewLine::Data, ViewLine::Eeprom,
                       ViewLine::Option})
        makeLabel(l, 16, l == ViewLine::BlankCheck);
    pbStep_ = new QProgressBar(this);
    pbStep_->setObjectName("pbStep");
    pbStep_->setRange(0, 100);
    pbStep_->setValue(0);
    pbStep_->setTextVisible(true);
    column->addWidget(pbStep_);
    column->addStretch(1);
    lbVerdict_ = new QLabel(this);
    lbVerdict_->setObjectName("lbVerdict");
    lbVerdict_->setAlignment(Qt::AlignCenter);
    lbVerdict_->setTextFormat(Qt::PlainText);
    lbVerdict_->setAutoFillBackground(true);
    QFont verdictFont = font();
    verdictFont.setPixelSize(64);
    verdictFont.setBold(true);
    lbVerdict_->setFont(verdictFont);
    // The space is kept while a run is under way, so nothing moves when the verdict comes.
    lbVerdict_->setMinimumHeight(QFontMetrics(verdictFont).height() + 16);
    column->addWidget(lbVerdict_);
    bevel();
    makeLabel(ViewLine::Qtp, 16, false);
    makeLabel(ViewLine::TotalTime, 16, true);
    chipInfo_ = new QLabel(this);
    chipInfo_->setObjectName("lbChipInfo");
    chipInfo_->setAlignment(Qt::AlignCenter);
    column->addWidget(chipInfo_);

    auto* buttons = new QHBoxLayout;
    btExit_ = new QPushButton("Exit", this);
    btExit_->setObjectName("btExit");
    btExit_->setAutoDefault(false);
    btContinue_ = new QPushButton("Continue", this);
    btContinue_->setObjectName("btContinue");
    btContinue_->setDefault(true);
    btExit_->setEnabled(false);
    btContinue_->setEnabled(false);
    buttons->addWidget(btExit_);
    buttons->addWidget(btContinue_);
    column->addLayout(buttons);
    setMinimumSize(kBaseWidth, kBaseHeight);
    resize(kBaseWidth, std::max(kBaseHeight, sizeHint().height()));
    showVerdict(QString(), QColor());

    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(1000);
    timer1_->setSingleShot(false);

    connect(btExit_, &QPushButton::clicked, this, [this] { accept(); });
    connect(btContinue_, &QPushButton::clicked, this, [this] {
        guarded([this] {
            if (closed_) return;
            timer1_->stop();  // a repeat due now would only run this chip again
            // At once, not only when the restart's own calls arrive: a second click must not wait for a run.
            btContinue_->setEnabled(false);
            btExit_->setEnabled(false);
            beginChip();
            session_->continueClicked();
        });
    });
    connect(timer1_, &QTimer::timeout, this, [this] {
        guarded([this] {
            timer1_->stop();
            if (closed_) return;
            beginChip();
            session_->timerTick();
        });
    });
}

TfmProgramVerify::~TfmProgramVerify() {
    session_->stop();
    queue_.discard();
}

void TfmProgramVerify::guarded(const std::function<void()>& f) {
    gui::guarded(*st_.ui, f);
}

void TfmProgramVerify::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    guarded([this] {
        beginChip();
        session_->start();
    });
}

void TfmProgramVerify::beginChip() {
    ++chips_;
    runNumber_ = chips_;
    chipClock_.start();
    chipInfo_->setText(QString("Chip %1").arg(chips_));
    pbStep_->setRange(0, 100);
    pbStep_->setValue(0);
    showVerdict(QString(), QColor());
}

void TfmProgramVerify::showLineText(ViewLine l, const QString& text) {
    line(l)->setText(text);
    if (l == ViewLine::Title) showWindowTitle();
    fitLines();
}

void TfmProgramVerify::showStreamProgress(int done, int total) {
    if (total <= 0) return;
    pbStep_->setRange(0, total);
    pbStep_->setValue(std::clamp(done, 0, total));
}

void TfmProgramVerify::showVerdict(const QString& text, const QColor& background) {
    verdictText_ = text;
    lbVerdict_->setText(text);
    // As large as the dialog's described width holds.
    QFont f = lbVerdict_->font();
    const int room = kBaseWidth - 40;
    for (int size = 64; size >= 20; size -= 4) {
        f.setPixelSize(size);
        if (QFontMetrics(f).horizontalAdvance(text) <= room) break;
    }
    lbVerdict_->setFont(f);
    QPalette p = lbVerdict_->palette();
    p.setColor(QPalette::Window, text.isEmpty() ? palette().color(QPalette::Window) : background);
    p.setColor(QPalette::WindowText,
               text.isEmpty() ? palette().color(QPalette::WindowText) : QColor(Qt::white));
    lbVerdict_->setPalette(p);
    showWindowTitle();
}

void TfmProgramVerify::showWindowTitle() {
    QString title = line(ViewLine::Title)->text().trimmed();
    if (title.isEmpty()) title = "QZR Writer";
    if (!verdictText_.isEmpty()) title += " - " + verdictText_;
    setWindowTitle(title);
}

void TfmProgramVerify::fitLines() {
    const QScreen* s = screen();
    const int margins = layout()->contentsMargins().left() + layout()->contentsMargins().right();
    const int room = (s ? s->availableGeometry().width() : 1280) - margins - 40;
    for (QLabel* label : lines_) {
        // A line that the screen could not hold even with the dialog at its widest wraps instead.
        const int natural = label->fontMetrics().horizontalAdvance(label->text());
        label->setWordWrap(natural > room);
    }
    layout()->activate();
}

void TfmProgramVerify::runEnded(int run) {
    if (run == chips_) {
        chipInfo_->setText(
            QString("Chip %1: %2 s").arg(chips_).arg(chipClock_.elapsed() / 1000.0, 0, 'f', 2));
        switch (session_->lastOutcome()) {
            case RunOutcome::Passed:
            case RunOutcome::QtpFinished:
                pbStep_->setValue(pbStep_->maximum());
                showVerdict("PASS", kPassColour);
                break;
            case RunOutcome::Failed:
                showVerdict("FAIL", kFailColour);
                break;
            case RunOutcome::NotRecorded:
                // The chip may be good, but its record is missing: the operator has to act.
                showVerdict("NOT RECORDED", kFailColour);
                break;
            case RunOutcome::Stopped:
                break;
        }
    }
    if (std::exception_ptr e = session_->takeError()) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            st_.ui->message(x.what());
        }
    }
    // The run's result reaches the state here, on the UI thread (a later run that has started in the
    // meantime applied it when it took its own snapshot); then the main window shows it.
    if (run == chips_) {
        session_->collect();
        if (stateChanged_) stateChanged_();
    }
    // A chip whose line could not go to the production log: the next chip waits until the operator has
    // seen why.
    if (run == chips_ && !closed_ && session_->lastOutcome() == RunOutcome::NotRecorded) {
        st_.ui->error(session_->recordFailure());
        if (!closed_) session_->acknowledgeRecordFailure();
    }
}

void TfmProgramVerify::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter repeats a finished run; it never closes the dialog.
        if (btContinue_->isEnabled()) btContinue_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfmProgramVerify::done(int result) {
    if (!closed_) {
        closed_ = true;
        timer1_->stop();
        guarded([this] { session_->stop(); });
        queue_.discard();
        if (stateChanged_) stateChanged_();
    }
    QDialog::done(result);
}

}  // namespace qzr::gui
