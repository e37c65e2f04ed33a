#include "operations/OperationSession.h"

#include "app/MainState.h"
#include "operations/WorkerThread.h"

namespace qzr {

namespace {
// Stands in for the shell's view hooks while a worker runs.
ViewHooks quietViews;
}  // namespace

OperationSession::OperationSession(MainState& st, OperationView& view) : st_(st), view_(view) {}

OperationSession::OperationSession(MainState& st, CommLink& link, Clock& clock, OperationView& view)
    : st_(st), link_(&link), clock_(&clock), view_(view) {}

OperationSession::~OperationSession() {
    stop();
}

void OperationSession::start() {
    launch();
}

void OperationSession::continueClicked() {
    join();
    resetProgressLines(view_);
    launch();
}

void OperationSession::timerTick() {
    join();
    ++repeatCount_;
    view_.setRepeatTimer(false);
    resetProgressLines(view_);
    launch();
}

void OperationSession::stop() {
    stop_ = true;
    join();
}

void OperationSession::wait() {
    join();
}

RunOutcome OperationSession::lastOutcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

void OperationSession::launch() {
    join();
    stop_ = false;
    running_ = true;
    if (!savedViews_) {
        savedViews_ = st_.views;
        st_.views = &quietViews;
    }
    worker_ = std::thread([this] {
        prepareWriterThread();
        RunOutcome outcome;
        if (link_) {
            OperationEngine engine(st_, *link_, *clock_, view_, &stop_);
            outcome = engine.run();
        } else {
            OperationEngine engine(st_, view_, &stop_);
            outcome = engine.run();
        }
        if (runPassed(outcome)) repeatCount_ = 0;
        {
            std::lock_guard lock(mutex_);
            outcome_ = outcome;
        }
        if (outcome != RunOutcome::Stopped) {
            view_.stateChanged();
            if (onFinished) onFinished(outcome);
        }
        running_ = false;
    });
}

void OperationSession::join() {
    if (worker_.joinable()) worker_.join();
    if (savedViews_) {
        st_.views = savedViews_;
        savedViews_ = nullptr;
    }
}

}  // namespace qzr
