#pragma once

#include <QDialog>
#include <functional>

#include "app/WriterJob.h"
#include "core/writer/Download.h"
#include "gui/common/UiCallQueue.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QProgressBar;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// "Device select": up to 16 devices checked in the device table's list, then sent to the writer. The
// records go out in a writer job (`sendTask` runs the download on a snapshot of the state, off the UI thread:
// the main window's runWriterJob), so the list, counter and gauge keep painting; the window cannot be closed
// meanwhile.
class TDeviceForm : public QDialog {
    Q_OBJECT
  public:
    using SendTask = std::function<void(const WriterJob::Work& download)>;
    TDeviceForm(MainState& st, SendTask sendTask, QWidget* parent = nullptr);

    const DeviceSelection& selection() const { return selection_; }

    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    class View;
    void showCount();
    void download();

    MainState& st_;
    SendTask sendTask_;
    DeviceSelection selection_;
    UiCallQueue queue_;
    QListWidget* list_ = nullptr;
    QLabel* counter_ = nullptr;
    QProgressBar* gauge_ = nullptr;
    bool sending_ = false;
};

}  // namespace qzr::gui
