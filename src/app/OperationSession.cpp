#include "app/OperationSession.h"

#include <utility>

#include "app/MainState.h"
#include "core/writer/CommLink.h"
#include "core/writer/FreshChip.h"

namespace qzr {

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
    if (job_) job_->requestStop();
    join();
}

void OperationSession::wait() {
    join();
    if (std::exception_ptr e = takeError()) std::rethrow_exception(e);
}

void OperationSession::collect() {
    join();
}

std::exception_ptr OperationSession::takeError() {
    std::lock_guard lock(mutex_);
    return std::exchange(error_, nullptr);
}

RunOutcome OperationSession::lastOutcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

bool OperationSession::lastLineFault() const {
    std::lock_guard lock(mutex_);
    return lineFault_;
}

std::string OperationSession::lastSerialNumber() const {
    std::lock_guard lock(mutex_);
    return serialNumber_;
}

void OperationSession::requestStop() {
    std::lock_guard lock(jobMutex_);
    if (job_) job_->requestStop();
}

std::string OperationSession::recordFailure() const {
    std::lock_guard lock(mutex_);
    return outcome_ == RunOutcome::NotRecorded ? recordFailure_ : std::string();
}

void OperationSession::acknowledgeRecordFailure() {
    join();
    bool offerContinue = false;
    {
        std::lock_guard lock(mutex_);
        if (outcome_ != RunOutcome::NotRecorded) return;
        offerContinue = continueWithheld_;
        outcome_ = RunOutcome::Failed;
    }
    view_.setText(ViewLine::TotalTime, "");
    view_.setRed(ViewLine::TotalTime, false);
    if (offerContinue) view_.setContinueEnabled(true);
}

void OperationSession::launch() {
    join();
    running_ = true;
    {
        std::lock_guard lock(mutex_);
        error_ = nullptr;
    }
    if (!link_) insertFreshChipForRun(st_.link, st_.device);  // the virtual writer's operator swaps the chip
    std::unique_ptr<WriterJob> job = std::make_unique<WriterJob>(
        st_, JobScope::Project, [this](MainState& st, const std::atomic<bool>& stop) { runChip(st, stop); });
    {
        std::lock_guard lock(jobMutex_);  // a stop request from now on reaches this run
        job_ = std::move(job);
    }
    job_->start();
}

void OperationSession::runChip(MainState& st, const std::atomic<bool>& stop) {
    RunOutcome outcome = RunOutcome::Failed;
    std::exception_ptr error;
    std::string recordFailure;
    bool continueWithheld = false;
    bool lineFault = false;
    std::string serialNumber;
    auto runEngine = [&](OperationEngine& engine) {
        outcome = engine.run();
        recordFailure = engine.recordFailure();
        continueWithheld = engine.continueWithheld();
        lineFault = engine.lineFault();
        serialNumber = engine.chipSerialNumber();
    };
    try {
        if (beforeChip) beforeChip(st);
        if (link_) {
            OperationEngine engine(st, *link_, *clock_, view_, &stop);
            runEngine(engine);
        } else {
            OperationEngine engine(st, view_, &stop);
            runEngine(engine);
        }
    } catch (const ECommError&) {
        // The serial component itself failed: the waiting thread reports it; the dialog can be closed.
        error = std::current_exception();
        lineFault = true;
        view_.setExitEnabled(true);
    } catch (...) {
        // Nothing else may end the process from a worker: the waiting thread reports it too.
        error = std::current_exception();
        view_.setExitEnabled(true);
    }
    if (afterChip) afterChip(st, outcome);
    if (runPassed(outcome)) repeatCount_ = 0;
    {
        std::lock_guard lock(mutex_);
        outcome_ = outcome;
        lineFault_ = lineFault;
        serialNumber_ = serialNumber;
        error_ = error;
        recordFailure_ = recordFailure;
        continueWithheld_ = continueWithheld;
    }
    if (outcome != RunOutcome::Stopped) {
        view_.stateChanged();
        if (onFinished) onFinished(outcome);
    }
    running_ = false;
}

void OperationSession::join() {
    if (!job_) return;
    job_->finish(st_);
    std::lock_guard lock(jobMutex_);
    job_.reset();
}

}  // namespace qzr
