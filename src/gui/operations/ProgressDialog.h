#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>

#include "app/OperationSession.h"
#include "core/operations/OperationView.h"
#include "gui/common/UiCallQueue.h"

class QLabel;
class QPushButton;
class QTimer;

namespace qzr {
struct MainState;
}

namespace qzr::gui {

// The modal progress dialog of every writer operation: shown, it starts the operation engine on a worker
// (each run a writer job on a snapshot of the state, its result applied when the run has ended);
// Continue and the repeat timer (flash programming test) run it again on the chip now in the socket; Exit
// or the close box stop a running worker within one exchange and wait for it, so no worker outlives the
// dialog. The engine's calls reach the labels through a queue, in order, progress addresses coalesced.
//
// Beyond the described dialog: the line lbChipInfo counts the chips of this dialog and says how long the
// last one took, and Enter repeats a finished run (Continue) when Continue is enabled.
class TfmProgramVerify : public QDialog {
    Q_OBJECT
  public:
    // `stateChanged` runs on the UI thread after every run that ended (the main window's pass count,
    // serial number and checksums).
    TfmProgramVerify(MainState& st, QWidget* parent, std::function<void()> stateChanged);
    ~TfmProgramVerify() override;

    OperationSession& session() { return *session_; }
    // Runs the calls the engine has queued (tests; the event loop does it by itself).
    void flush() { queue_.drain(); }
    // Chips started in this dialog.
    int chipCount() const { return chips_; }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class View;

    QLabel* line(ViewLine l) const { return lines_[static_cast<std::size_t>(l)]; }
    void beginChip();
    void runEnded(int run);
    void guarded(const std::function<void()>& f);

    MainState& st_;
    std::function<void()> stateChanged_;
    UiCallQueue queue_;
    std::unique_ptr<View> view_;
    std::unique_ptr<OperationSession> session_;
    std::array<QLabel*, kViewLineCount> lines_{};
    QLabel* chipInfo_ = nullptr;
    QPushButton* btContinue_ = nullptr;
    QPushButton* btExit_ = nullptr;
    QTimer* timer1_ = nullptr;
    QElapsedTimer chipClock_;
    int chips_ = 0;
    std::atomic<int> runNumber_{0};  // chips_ as the worker of the current run reads it
    bool started_ = false;
    bool closed_ = false;
};

}  // namespace qzr::gui
