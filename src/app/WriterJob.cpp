#include "app/WriterJob.h"

#include <algorithm>
#include <utility>

#include "core/operations/WorkerThread.h"

namespace qzr {

void RecordedViews::replay(ViewHooks& views) {
    auto calls = std::exchange(calls_, {});
    for (auto& call : calls) call(views);
}

JobSnapshot::JobSnapshot(const MainState& st) : state(st) {
    state.views = &views;
}

void applyJobResult(MainState& st, JobSnapshot& snapshot, JobScope scope) {
    MainState& job = snapshot.state;
    if (scope == JobScope::Project) {
        // The windows' own flags stay the window's: they follow what the window shows.
        const bool idWindowOpen = st.idWindowOpen, programWindowOpen = st.programWindowOpen,
                   eepromWindowOpen = st.eepromWindowOpen, disassemblyOpen = st.disassemblyOpen;
        UserInterface* ui = st.ui;
        ViewHooks* views = st.views;
        st = job;
        st.ui = ui;
        st.views = views;
        st.idWindowOpen = idWindowOpen;
        st.programWindowOpen = programWindowOpen;
        st.eepromWindowOpen = eepromWindowOpen;
        st.disassemblyOpen = disassemblyOpen;
    } else {
        st.link = job.link;
        std::ranges::copy(job.image.headerArea(), st.image.headerArea().begin());
        std::ranges::copy(job.image.transferArea(), st.image.transferArea().begin());
    }
    snapshot.views.replay(*st.views);
}

WriterJob::WriterJob(const MainState& st, JobScope scope, Work work)
    : snapshot_(std::make_unique<JobSnapshot>(st)), scope_(scope), work_(std::move(work)) {}

WriterJob::~WriterJob() {
    requestStop();
    if (thread_.joinable()) thread_.join();
}

void WriterJob::start(std::function<void()> ended) {
    if (started_) return;
    started_ = true;
    thread_ = std::thread([this, ended = std::move(ended)] {
        prepareWriterThread();
        try {
            work_(snapshot_->state, stop_);
        } catch (...) {
            error_ = std::current_exception();
        }
        ended_ = true;
        if (ended) ended();
    });
}

void WriterJob::finish(MainState& st) {
    if (thread_.joinable()) thread_.join();
    if (!started_ || applied_) return;
    applied_ = true;
    applyJobResult(st, *snapshot_, scope_);
    if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

}  // namespace qzr
