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
class QProgressBar;
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
// last one took, and Enter repeats a finished run (Continue) when Continue is enabled. For an operator at
// arm's length: pbStep shows how far the running step's stream has come, lbVerdict shows PASS on green or
// FAIL on red in large letters when a run ends, and the window title names the operation and its verdict.
// A line is never cut off: the dialog widens to its longest line (as far as the screen allows; beyond that
// the line wraps).
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
    // A line's text as the engine sets it; the title line names the window too.
    void showLineText(ViewLine l, const QString& text);
    void showStreamProgress(int done, int total);
    // The verdict of the run that ended; an empty text clears it (a run is under way).
    void showVerdict(const QString& text, const QColor& background);
    void showWindowTitle();
    // Widens the dialog to its longest line, or lets a line wrap that the screen cannot hold.
    void fitLines();
    void guarded(const std::function<void()>& f);

    MainState& st_;
    std::function<void()> stateChanged_;
    UiCallQueue queue_;
    std::unique_ptr<View> view_;
    std::unique_ptr<OperationSession> session_;
    std::array<QLabel*, kViewLineCount> lines_{};
    QLabel* chipInfo_ = nullptr;
    QProgressBar* pbStep_ = nullptr;
    QLabel* lbVerdict_ = nullptr;
    QString verdictText_;
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
