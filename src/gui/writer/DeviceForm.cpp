#include "gui/writer/DeviceForm.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/DownloadCommand.h"
#include "app/MainState.h"
#include "gui/common/Guarded.h"

namespace qzr::gui {

class TDeviceForm::View final : public DownloadView {
  public:
    explicit View(TDeviceForm& f) : f_(f) {}
    void highlightRow(int row) override {
        f_.queue_.post([this, row] { f_.list_->setCurrentRow(row); }, 1);
    }
    void setGauge(int percent) override {
        f_.queue_.post([this, percent] { f_.gauge_->setValue(percent); }, 2);
    }

  private:
    TDeviceForm& f_;
};

TDeviceForm::TDeviceForm(MainState& st, SendTask sendTask, QWidget* parent)
    : QDialog(parent), st_(st), sendTask_(std::move(sendTask)), queue_(this) {
    setObjectName("TDeviceForm");
    setWindowTitle(download_text::kCaption);
    setModal(true);
    auto* column = new QVBoxLayout(this);
    auto* label1 = new QLabel(download_text::kMaxLabel, this);
    label1->setObjectName("Label1");
    column->addWidget(label1);
    auto* countRow = new QHBoxLayout;
    auto* label2 = new QLabel(download_text::kTotalLabel, this);
    label2->setObjectName("Label2");
    counter_ = new QLabel("0", this);
    counter_->setObjectName("StaticText1");
    counter_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    counter_->setMinimumWidth(40);
    countRow->addWidget(label2);
    countRow->addWidget(counter_);
    countRow->addStretch(1);
    column->addLayout(countRow);
    list_ = new QListWidget(this);
    list_->setObjectName("CheckListBox1");
    for (int row = 0; row < selection_.rowCount(); ++row) {
        auto* item = new QListWidgetItem(QString::fromLatin1(selection_.name(row).c_str()), list_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    column->addWidget(list_, 1);
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName("CGauge1");
    gauge_->setRange(0, 100);
    gauge_->setValue(0);
    column->addWidget(gauge_);
    auto* buttons = new QHBoxLayout;
    auto button = [&](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* send = button("DownLoad", "Download");
    QPushButton* clear = button("btnClear", "Clear");
    QPushButton* defaults = button("btnDefult", "Select defult");
    QPushButton* exit = button("Exit", "Exit");
    column->addLayout(buttons);
    resize(360, 480);

    connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int row = list_->row(item);
        const bool wanted = item->checkState() == Qt::Checked;
        gauge_->setValue(0);
        const bool checked = selection_.clickCheck(row, wanted, *st_.ui);
        if (checked != wanted) {
            const QSignalBlocker block(list_);
            item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        }
        showCount();
    });
    connect(clear, &QPushButton::clicked, this, [this] {
        selection_.clear();
        showCount();
    });
    connect(defaults, &QPushButton::clicked, this, [this] {
        selection_.selectDefault();
        showCount();
    });
    connect(send, &QPushButton::clicked, this, [this] { download(); });
    connect(exit, &QPushButton::clicked, this, [this] { accept(); });
}

void TDeviceForm::showCount() {
    const QSignalBlocker block(list_);
    for (int row = 0; row < selection_.rowCount(); ++row)
        list_->item(row)->setCheckState(selection_.isChecked(row) ? Qt::Checked : Qt::Unchecked);
    counter_->setText(QString::fromStdString(selection_.countText()));
}

void TDeviceForm::download() {
    if (sending_) return;
    sending_ = true;
    for (QWidget* w : findChildren<QPushButton*>()) w->setEnabled(false);
    list_->setEnabled(false);
    View view(*this);
    guarded(*st_.ui, [&] {
        sendTask_(
            [this, &view](MainState& st, const std::atomic<bool>&) { DownLoadClick(st, selection_, view); });
    });
    queue_.drain();  // the last row and the gauge, before `view` goes
    for (QWidget* w : findChildren<QPushButton*>()) w->setEnabled(true);
    list_->setEnabled(true);
    sending_ = false;
}

void TDeviceForm::reject() {
    if (!sending_) QDialog::reject();
}

void TDeviceForm::closeEvent(QCloseEvent* event) {
    if (sending_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

}  // namespace qzr::gui
