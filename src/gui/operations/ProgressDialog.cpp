#include "gui/operations/ProgressDialog.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
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

}  // namespace

// The engine's view: every call is queued to the dialog's thread.
class TfmProgramVerify::View final : public OperationView {
  public:
    explicit View(TfmProgramVerify& d) : d_(d) {}
    void setText(ViewLine l, const std::string& text) override {
        d_.queue_.post([this, l, text] { d_.line(l)->setText(qs(displayText(text))); });
    }
    void setProgress(ViewLine l, const std::string& text) override {
        d_.queue_.post([this, l, text] { d_.line(l)->setText(qs(displayText(text))); }, progressKey(l));
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
        d_.queue_.post([this, l, visible] { d_.line(l)->setVisible(visible); });
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
    setWindowTitle(QString());
    setFixedSize(382, 453);
    setModal(true);

    auto* column = new QVBoxLayout(this);
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
    column->addStretch(1);
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
}

void TfmProgramVerify::runEnded(int run) {
    if (run == chips_)
        chipInfo_->setText(
            QString("Chip %1: %2 s").arg(chips_).arg(chipClock_.elapsed() / 1000.0, 0, 'f', 2));
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
