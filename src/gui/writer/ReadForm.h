#pragma once

#include <QDialog>
#include <memory>

#include "app/WriterJob.h"
#include "core/writer/ReadIc.h"
#include "gui/common/UiCallQueue.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// The read window: shown, it starts the chip read as a writer job (on a snapshot of the state); the status
// lines and the gauge follow the read through a queue, in order, and when it has ended what it read is
// applied to the state. "OK" is the only way out and is usable once the read has ended (the close box and
// Escape do nothing before). Closing stops and joins a worker that still runs.
class TReadForm : public QDialog {
    Q_OBJECT
  public:
    explicit TReadForm(MainState& st, QWidget* parent = nullptr);
    ~TReadForm() override;
    // The read has ended (its last text is shown).
    bool readEnded() const { return ended_; }
    void flush() { queue_.drain(); }

    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    class View;
    void ended();

    MainState& st_;
    UiCallQueue queue_;
    std::unique_ptr<View> view_;
    std::unique_ptr<WriterJob> job_;
    QLabel* lines_[4] = {};
    QProgressBar* gauge_ = nullptr;
    QPushButton* button1_ = nullptr;
    bool started_ = false;
    bool ended_ = false;
};

// The command "Read IC": re-opens the port when needed, shows the read window modally, and when the chip was
// read whole rebuilds the views.
void ReadIcCommand(MainState& st, QWidget* parent);

}  // namespace qzr::gui
