#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "app/WriterJob.h"

namespace qzr::gui {

// The main window's writer jobs (app/WriterJob.h), one at a time. A job's result is applied to the
// window's state on the UI thread as soon as its worker has ended, and nowhere else.
class WriterJobRunner : public QObject {
  public:
    WriterJobRunner(MainState& st, QObject* parent);
    ~WriterJobRunner() override;

    // Starts `work` on a snapshot of the state and returns at once; the window keeps working. When the job
    // has ended its result is applied, then `done` runs (both on the UI thread; an error of the serial
    // component is shown).
    void start(JobScope scope, WriterJob::Work work, std::function<void()> done);
    // Runs `work` on a snapshot and waits for it in a local event loop (inside a modal window that shows what
    // the job did: the download, the about box). An error of the serial component is thrown here.
    void run(JobScope scope, const WriterJob::Work& work);
    // A job runs (started, or run and waited for).
    bool running() const { return job_ != nullptr || waiting_ > 0; }
    // A started job can be stopped (a job that is waited for belongs to its window).
    bool stoppable() const { return job_ != nullptr && waiting_ == 0; }
    // Stops the started job and applies what it did before the stop (the window closes).
    void stop();

  private:
    void ended(int number);

    MainState& st_;
    std::unique_ptr<WriterJob> job_;
    std::function<void()> done_;
    int number_ = 0;  // of the started job, so that a late notice of an earlier one is ignored
    int waiting_ = 0;
};

}  // namespace qzr::gui
