#include "gui/writer/ReadForm.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QVBoxLayout>

#include "app/MainState.h"
#include "app/ReadIcCommand.h"
#include "core/writer/CommLink.h"
#include "gui/common/Guarded.h"
#include "gui/common/ModalRunner.h"

namespace qzr::gui {

class TReadForm::View final : public ReadIcView {
  public:
    explicit View(TReadForm& f) : f_(f) {}
    void showLine(ReadIcLine line, const std::string& text, bool failure) override {
        f_.queue_.post([this, line, text, failure] {
            QLabel* label = f_.lines_[static_cast<int>(line)];
            label->setText(QString::fromLocal8Bit(text.c_str()));
            QPalette p = label->palette();
            p.setColor(QPalette::WindowText,
                       failure ? QColor(Qt::red) : f_.palette().color(QPalette::WindowText));
            label->setPalette(p);
        });
    }
    void showEepromLine() override {
        f_.queue_.post([this] { f_.lines_[static_cast<int>(ReadIcLine::EEInfo)]->setVisible(true); });
    }
    void setGauge(int percent) override {
        f_.queue_.post([this, percent] { f_.gauge_->setValue(percent); }, 1);
    }
    void finished() override {
        f_.queue_.post([this] { f_.ended(); });
    }

  private:
    TReadForm& f_;
};

TReadForm::TReadForm(MainState& st, QWidget* parent)
    : QDialog(parent), st_(st), queue_(this), view_(std::make_unique<View>(*this)) {
    setObjectName("TReadForm");
    setWindowTitle("Read");
    setModal(true);
    // No title-bar buttons; a fixed single border.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    auto* column = new QVBoxLayout(this);
    auto* title = new QLabel("Read", this);
    title->setObjectName("StaticText1");
    QFont big = title->font();
    big.setPixelSize(28);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    column->addWidget(title);
    const char* names[] = {"Label1", "Label2", "Label3", "EEInfo"};
    for (int i = 0; i < 4; ++i) {
        lines_[i] = new QLabel(this);
        lines_[i]->setObjectName(names[i]);
        lines_[i]->setAlignment(Qt::AlignCenter);
        lines_[i]->setMinimumWidth(300);
        column->addWidget(lines_[i]);
    }
    lines_[3]->setVisible(false);
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName("CGauge1");
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    // The blue bar with its percentage readable on both parts: white over the bar, black beside it.
    // (The Fusion style draws the label in two colours, split where the bar ends.) Freed with the dialog,
    // after the gauge made before it.
    if (QStyle* fusion = QStyleFactory::create("Fusion")) {
        fusion->setParent(this);
        gauge_->setStyle(fusion);
    }
    QPalette bar = gauge_->palette();
    bar.setColor(QPalette::Highlight, QColor(0, 0, 0xC0));
    bar.setColor(QPalette::HighlightedText, Qt::white);
    bar.setColor(QPalette::Text, Qt::black);
    bar.setColor(QPalette::Base, Qt::white);
    gauge_->setPalette(bar);
    column->addWidget(gauge_);
    button1_ = new QPushButton("OK", this);
    button1_->setObjectName("Button1");
    button1_->setDefault(true);
    button1_->setEnabled(false);
    column->addWidget(button1_, 0, Qt::AlignCenter);
    connect(button1_, &QPushButton::clicked, this, [this] {
        if (ended_) accept();
    });
    job_ = std::make_unique<WriterJob>(st_, JobScope::Project, readIcWork(*view_));
}

TReadForm::~TReadForm() {
    job_.reset();  // stops and joins a read that still runs
    queue_.discard();
}

void TReadForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    job_->start();
}

void TReadForm::ended() {
    if (ended_) return;
    ended_ = true;
    button1_->setEnabled(true);
    guarded(*st_.ui, [this] { job_->finish(st_); });
}

void TReadForm::reject() {
    if (ended_) QDialog::reject();
}

void TReadForm::closeEvent(QCloseEvent* event) {
    if (!ended_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ReadIcCommand(MainState& st, QWidget* parent) {
    if (!beginReadIc(st)) return;
    {
        TReadForm form(st, parent);
        runModal(form);
    }
    endReadIc(st);
}

}  // namespace qzr::gui
