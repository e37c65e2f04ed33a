#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "app/OperationEngine.h"
#include "app/WriterJob.h"
#include "core/operations/OperationView.h"

namespace qzr {

struct MainState;
class CommLink;
class Clock;

// The progress dialog's life as core logic: it starts the engine on a worker thread when shown, restarts
// it on Continue and on the repeat timer, and stops it when closed. At most one worker exists per session;
// sessions on different ports run side by side.
//
// Every run is a writer job (WriterJob.h): the engine works on a snapshot of the state taken when the run
// starts, and the run's result (pass count, serial number, image, link) is applied to the state on the
// owner's thread by collect(), wait(), stop() or the next start, with the refreshes it asked for.
// OperationView::stateChanged tells the front end when a run has ended.
class OperationSession {
  public:
    OperationSession(MainState& st, OperationView& view);
    OperationSession(MainState& st, CommLink& link, Clock& clock, OperationView& view);
    ~OperationSession();
    OperationSession(const OperationSession&) = delete;
    OperationSession& operator=(const OperationSession&) = delete;

    // The dialog is shown: the first run starts.
    void start();
    // Continue: both buttons disabled, the step lines hidden and back to normal, the operation runs again
    // (the engine reads operationType again, so it runs on the chip now in the socket).
    void continueClicked();
    // The repeat timer: the repeat count goes up, the timer is disabled, and the run restarts.
    void timerTick();
    // The dialog closes: a running worker is stopped (no further bytes, nothing shown) and joined; what it
    // did is applied.
    void stop();
    // Raises the stop request of the running worker without waiting for it (from any thread: an interrupt
    // of the command-line program); the run ends within one exchange and wait() returns. Nothing when no
    // run is in progress.
    void requestStop();
    // Blocks until the current run has ended and applies its result. An error of the serial component that
    // ended the run (ECommError), or any other exception of the worker, is thrown here, on the waiting
    // thread.
    void wait();
    // The run has ended (stateChanged was called): its result is applied to the state now.
    void collect();
    // The same error for a front end that does not wait (the GUI, when the worker has finished): taken
    // once, null when there is none.
    std::exception_ptr takeError();

    bool running() const { return running_.load(); }
    // Outcome of the last run that ended (Failed before any).
    RunOutcome lastOutcome() const;
    // The last run that ended failed for a fault of the line (OperationEngine::lineFault).
    bool lastLineFault() const;
    // The serial number the last run that ended gave its chip (OperationEngine::chipSerialNumber).
    std::string lastSerialNumber() const;
    // Set to 0 by every successful run, increased by every timer tick.
    int repeatCount() const { return repeatCount_.load(); }

    // The production log could not take the last run's line (outcome NotRecorded): the message that
    // lbTotalTime shows in red (as shown, "&" single); empty otherwise. Only Exit is enabled then.
    std::string recordFailure() const;
    // The operator has acknowledged the record failure (the front end asks before the next chip): the
    // message line is cleared and Continue enabled when the run would have offered it; the repeat timer is
    // not started again. Does nothing unless the last run ended NotRecorded.
    void acknowledgeRecordFailure();

    // Called on the worker thread when a run has ended (not after a stop); it must not call back into the
    // session (queue to the user-interface thread instead).
    std::function<void(RunOutcome)> onFinished;

    // The job's side of every chip, on the worker with the run's snapshot: `beforeChip` before the engine
    // sends anything, `afterChip` when the run has ended (a stopped one too), before its result is applied.
    // What must outlive the program (a production journal) hooks in here.
    std::function<void(MainState& snapshot)> beforeChip;
    std::function<void(MainState& snapshot, RunOutcome outcome)> afterChip;

  private:
    void launch();
    // One run of the engine on the worker, on the run's snapshot.
    void runChip(MainState& st, const std::atomic<bool>& stop);
    void join();

    MainState& st_;
    CommLink* link_ = nullptr;
    Clock* clock_ = nullptr;
    OperationView& view_;
    std::unique_ptr<WriterJob> job_;
    std::mutex jobMutex_;  // job_ against requestStop() from another thread
    std::atomic<bool> running_{false};
    std::atomic<int> repeatCount_{0};
    mutable std::mutex mutex_;
    RunOutcome outcome_ = RunOutcome::Failed;
    bool lineFault_ = false;
    std::string serialNumber_;
    std::string recordFailure_;
    bool continueWithheld_ = false;
    std::exception_ptr error_;
};

}  // namespace qzr
