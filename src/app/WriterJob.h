#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/MainState.h"
#include "core/common/ViewHooks.h"

namespace qzr {

// The one rule for every writer job (an operation run, Read IC, the download, the writer check at start-up,
// on a port change and for the about box):
//
//   the owner's thread                     the worker
//   ----------------                       ----------
//   JobSnapshot(st)  -- copy of st -->     works on the copy only, honours the stop request,
//                                          records the refreshes it asks for
//   applyJobResult(st, snapshot)  <--      ends
//
// No worker reads or writes the owner's MainState, and no refresh is lost: the refreshes the job asked for
// are replayed on the owner's views after its result has been applied. Jobs share nothing but the port of
// their own link, so N of them can run at once on N ports.

// The refreshes a job asked for, in order, to be replayed by the owner's thread.
class RecordedViews final : public ViewHooks {
  public:
    void recreateIdWindow() override {
        add([](ViewHooks& v) { v.recreateIdWindow(); });
    }
    void recreateProgramWindow() override {
        add([](ViewHooks& v) { v.recreateProgramWindow(); });
    }
    void reloadProgramWindow() override {
        add([](ViewHooks& v) { v.reloadProgramWindow(); });
    }
    void reloadEepromWindow() override {
        add([](ViewHooks& v) { v.reloadEepromWindow(); });
    }
    void recreateEepromWindow(bool exists) override {
        add([exists](ViewHooks& v) { v.recreateEepromWindow(exists); });
    }
    void closeDisassembly() override {
        add([](ViewHooks& v) { v.closeDisassembly(); });
    }
    void refreshOptionDisplay() override {
        add([](ViewHooks& v) { v.refreshOptionDisplay(); });
    }
    void refreshChecksums() override {
        add([](ViewHooks& v) { v.refreshChecksums(); });
    }
    void refreshIdDisplay() override {
        add([](ViewHooks& v) { v.refreshIdDisplay(); });
    }
    void refreshSerialIndicators() override {
        add([](ViewHooks& v) { v.refreshSerialIndicators(); });
    }
    void enableSingleAreaCommands(bool enabled, bool menuItemsToo) override {
        add([=](ViewHooks& v) { v.enableSingleAreaCommands(enabled, menuItemsToo); });
    }
    void refreshDeviceCommands() override {
        add([](ViewHooks& v) { v.refreshDeviceCommands(); });
    }
    void refreshSelections() override {
        add([](ViewHooks& v) { v.refreshSelections(); });
    }

    // Replays the recorded refreshes on `views` and forgets them.
    void replay(ViewHooks& views);
    bool empty() const { return calls_.empty(); }

  private:
    void add(std::function<void(ViewHooks&)> call) { calls_.push_back(std::move(call)); }
    std::vector<std::function<void(ViewHooks&)>> calls_;
};

// What a job may change of the state.
enum class JobScope {
    // The writer check (start-up, port change, about box) and the download: the link (port, handshake,
    // writer identification) and the scratch areas of the image (command header, transfer area).
    Link,
    // An operation run and Read IC: the whole project (image, options, serial numbers, pass count, link).
    // The window cannot change the project while such a job runs.
    Project,
};

// The copy of the state a job works on. Its messages go to the owner's user interface (which must take
// messages from any thread); its refreshes are recorded.
struct JobSnapshot {
    explicit JobSnapshot(const MainState& st);
    JobSnapshot(const JobSnapshot&) = delete;
    JobSnapshot& operator=(const JobSnapshot&) = delete;

    MainState state;
    RecordedViews views;
};

// The one place where a job's result reaches the owner's state (on the owner's thread, after the worker has
// ended): what `scope` allows is copied back, then the recorded refreshes are replayed on st.views.
void applyJobResult(MainState& st, JobSnapshot& snapshot, JobScope scope);

// A writer job on a worker thread of its own.
class WriterJob {
  public:
    // The work gets the snapshot and the stop request; an ECommError it throws is kept for finish().
    using Work = std::function<void(MainState& state, const std::atomic<bool>& stop)>;

    // Takes the snapshot of `st` now (on the owner's thread).
    WriterJob(const MainState& st, JobScope scope, Work work);
    // Stops and joins a worker that still runs; its result is dropped.
    ~WriterJob();
    WriterJob(const WriterJob&) = delete;
    WriterJob& operator=(const WriterJob&) = delete;

    // Starts the worker. `ended` is its last act (on the worker): a front end queues its finish from there.
    void start(std::function<void()> ended = {});
    // Every wait of the job ends within one exchange.
    void requestStop() { stop_ = true; }
    bool stopRequested() const { return stop_.load(); }
    bool started() const { return started_; }
    // The work has returned.
    bool ended() const { return ended_.load(); }
    // On the owner's thread: waits for the worker, applies its result to `st` (once) and throws the error
    // the work ended with, if any.
    void finish(MainState& st);
    // The snapshot (tests; the worker's own while it runs).
    JobSnapshot& snapshot() { return *snapshot_; }

  private:
    std::unique_ptr<JobSnapshot> snapshot_;
    JobScope scope_;
    Work work_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ended_{false};
    bool started_ = false;
    bool applied_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace qzr
