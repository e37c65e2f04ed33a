#include "gui/gang/GangForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <atomic>

#include "app/JournalCommands.h"
#include "app/OperationCommands.h"
#include "core/operations/OperationView.h"
#include "gui/common/Guarded.h"
#include "gui/common/Text.h"

namespace qzr::gui {

// A socket's lines from its worker, carried over to the window's thread: the step line shows the last text
// set, the bar how far the long streams have come (redrawn only when its value changes).
class TGangForm::SocketView final : public OperationView {
  public:
    SocketView(QLabel* step, QProgressBar* progress) : step_(step), progress_(progress) {}

    void setText(ViewLine line, const std::string& text) override {
        if (text.empty() || line == ViewLine::TotalTime) return;
        const QString shown = qs(displayText(text));
        QMetaObject::invokeMethod(
            step_, [step = step_, shown] { step->setText(shown); }, Qt::QueuedConnection);
    }
    void setProgress(ViewLine, const std::string&) override {}
    void streamProgress(int done, int total) override {
        const int percent = total > 0 ? static_cast<int>(100LL * done / total) : 0;
        if (percent_.exchange(percent) == percent) return;
        QMetaObject::invokeMethod(
            progress_, [bar = progress_, percent] { bar->setValue(percent); }, Qt::QueuedConnection);
    }
    void setRed(ViewLine, bool) override {}
    void setVisible(ViewLine, bool) override {}
    void setContinueEnabled(bool) override {}
    void setExitEnabled(bool) override {}
    void setRepeatTimer(bool) override {}
    void restart() { percent_ = -1; }

  private:
    QPointer<QLabel> step_;
    QPointer<QProgressBar> progress_;
    std::atomic<int> percent_{-1};
};

TGangForm::TGangForm(MainState& st, const QStringList& ports, QWidget* parent) : QDialog(parent), st_(st) {
    setObjectName("TGangForm");
    setWindowTitle("Gang Programming");
    auto* column = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int k = 0; k < kMaxGangSockets; ++k) {
        SocketControls& s = sockets_[static_cast<std::size_t>(k)];
        s.box = new QGroupBox(QString("Socket %1").arg(k + 1), this);
        s.box->setObjectName(QString("Socket%1").arg(k + 1));
        auto* form = new QVBoxLayout(s.box);
        auto* top = new QHBoxLayout;
        s.on = new QCheckBox("On", s.box);
        s.on->setObjectName("cbOn");
        s.on->setChecked(k == 0);
        s.port = new QComboBox(s.box);
        s.port->setObjectName("cbPort");
        s.port->setEditable(true);  // a device path, "virtual:new-chip"
        s.port->addItems(ports);
        if (k < ports.size()) s.port->setCurrentIndex(k);
        top->addWidget(s.on);
        top->addWidget(s.port, 1);
        form->addLayout(top);
        s.writer = new QLabel(s.box);
        s.writer->setObjectName("lbWriter");
        s.serial = new QLabel(s.box);
        s.serial->setObjectName("lbSerial");
        s.progress = new QProgressBar(s.box);
        s.progress->setObjectName("pbProgress");
        s.progress->setRange(0, 100);
        s.progress->setValue(0);
        s.step = new QLabel(s.box);
        s.step->setObjectName("lbStep");
        s.verdict = new QLabel(s.box);
        s.verdict->setObjectName("lbVerdict");
        s.verdict->setAlignment(Qt::AlignCenter);
        s.verdict->setMinimumHeight(48);
        for (QWidget* w : {static_cast<QWidget*>(s.writer), static_cast<QWidget*>(s.serial),
                           static_cast<QWidget*>(s.progress), static_cast<QWidget*>(s.step),
                           static_cast<QWidget*>(s.verdict)})
            form->addWidget(w);
        grid->addWidget(s.box, k / 4, k % 4);
        views_.push_back(std::make_unique<SocketView>(s.step, s.progress));
    }
    column->addLayout(grid);

    auto* bottom = new QHBoxLayout;
    round_ = new QLabel("Round: 0", this);
    round_->setObjectName("lbRound");
    counts_ = new QLabel(this);
    counts_->setObjectName("lbLotCounts");
    start_ = new QPushButton("Start", this);
    start_->setObjectName("btStart");
    start_->setDefault(true);  // Enter starts a round
    stop_ = new QPushButton("Stop", this);
    stop_->setObjectName("btStop");
    stop_->setEnabled(false);
    bottom->addWidget(round_);
    bottom->addWidget(counts_, 1);
    bottom->addWidget(start_);
    bottom->addWidget(stop_);
    column->addLayout(bottom);

    connect(start_, &QPushButton::clicked, this, [this] { guarded(*st_.ui, [this] { start(); }); });
    connect(stop_, &QPushButton::clicked, this, [this] { guarded(*st_.ui, [this] { stop(); }); });
    showCounts();
}

TGangForm::~TGangForm() {
    gang_.reset();  // stops and joins the sockets before their views go
}

void TGangForm::prepareGang() {
    std::vector<std::string> ports;
    for (const SocketControls& s : sockets_) ports.push_back(s.port->currentText().trimmed().toStdString());
    if (!gang_ || ports != gangPorts_) {
        gang_.reset();
        std::vector<GangRun::Socket> sockets;
        for (std::size_t k = 0; k < sockets_.size(); ++k)
            sockets.push_back({ports[k], views_[k].get(), st_.ui});
        gang_ = std::make_unique<GangRun>(st_, std::move(sockets));
        gangPorts_ = ports;
        gang_->onSocketEnded = [this](int) {
            QMetaObject::invokeMethod(
                this, [this] { socketEnded(); }, Qt::QueuedConnection);
        };
    }
    for (std::size_t k = 0; k < sockets_.size(); ++k)
        gang_->setOn(static_cast<int>(k) + 1, sockets_[k].on->isChecked());
}

void TGangForm::start() {
    if (running_) return;
    if (!dispatchOperation(st_, OperationType::AutoProgram)) return;
    prepareGang();
    gang_->clearStop();
    for (int k : gang_->openPorts()) {
        sockets_[static_cast<std::size_t>(k - 1)].on->setChecked(false);
        showVerdict(k, "OFF", "#808080");
    }
    for (std::size_t k = 0; k < sockets_.size(); ++k) {
        SocketControls& s = sockets_[k];
        if (!s.on->isChecked()) continue;
        s.step->clear();
        s.progress->setValue(0);
        s.verdict->clear();
        views_[k]->restart();
    }
    if (!gang_->startRound()) {
        const GangRound r = gang_->finishRound();
        if (!r.error.empty()) st_.ui->error(r.error);
        round_->setText(QString("Round: %1").arg(gang_->rounds()));
        showCounts();
        return;
    }
    running_ = true;
    start_->setEnabled(false);
    stop_->setEnabled(true);
    for (SocketControls& s : sockets_) s.port->setEnabled(false);
    for (std::size_t k = 0; k < sockets_.size(); ++k)
        sockets_[k].serial->setText(qs(gang_->serial(static_cast<int>(k) + 1)));
    round_->setText(QString("Round: %1").arg(gang_->rounds()));
}

void TGangForm::stop() {
    if (running_ && gang_) gang_->requestStop();
}

void TGangForm::socketEnded() {
    if (!running_ || endQueued_ || !gang_ || !gang_->roundEnded()) return;
    // Every worker has ended, so all the lines they queued for the window are queued before this call: the
    // verdicts come after the last step line and bar value of every socket, not before them.
    endQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (running_ && endQueued_) guarded(*st_.ui, [this] { endRound(); });
        },
        Qt::QueuedConnection);
}

void TGangForm::endRound() {
    endQueued_ = false;
    const GangRound r = gang_->finishRound();
    running_ = false;
    for (const GangChip& c : r.chips) {
        if (!c.ran) continue;
        SocketControls& s = sockets_[static_cast<std::size_t>(c.socket - 1)];
        s.writer->setText(qs(c.writer));
        if (c.interrupted()) {
            showVerdict(c.socket, "STOP", "#806000");
        } else if (c.passed()) {
            ++passed_;
            s.progress->setValue(100);
            showVerdict(c.socket, "PASS", "#008000");
        } else {
            ++failed_;
            s.step->setText(qs(c.failure));
            showVerdict(c.socket, "FAIL", "#C00000");
        }
    }
    for (int k : r.switchedOff) sockets_[static_cast<std::size_t>(k - 1)].on->setChecked(false);
    if (!r.error.empty()) st_.ui->error(r.error);
    start_->setEnabled(true);
    stop_->setEnabled(false);
    for (SocketControls& s : sockets_) s.port->setEnabled(true);
    showCounts();
}

void TGangForm::showVerdict(int socket, const QString& text, const char* colour) {
    QLabel* v = sockets_[static_cast<std::size_t>(socket - 1)].verdict;
    v->setText(text);
    v->setStyleSheet(QString("font-size: 24pt; font-weight: bold; color: %1;").arg(colour));
}

void TGangForm::showCounts() {
    const std::string lot = lotCountsText(st_);
    counts_->setText(QString("This session: %1 passed, %2 failed").arg(passed_).arg(failed_) +
                     (lot.empty() ? QString() : "    Lot (passed / failed / interrupted): " + qs(lot)));
}

void TGangForm::reject() {
    // Closing ends the round: every socket stops at its next exchange and its chip is recorded.
    if (running_ && gang_) {
        gang_->requestStop();
        endRound();
    }
    QDialog::reject();
}

}  // namespace qzr::gui
