#include "app/GangRun.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>
#include <utility>

#include "app/JournalCommands.h"
#include "app/PortCommands.h"
#include "core/common/Text.h"
#include "core/operations/OperationPlan.h"
#include "core/operations/ProductionLog.h"
#include "core/serial_number/PassCounter.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"
#include "core/writer/FreshChip.h"
#include "core/writer/PortNames.h"
#include "core/writer/WriterDetect.h"

namespace qzr {

namespace {

bool isAutoProgram(OperationType type) {
    return type == OperationType::AutoProgram || type == OperationType::AutoProgramNoBlankCheck;
}

// Forwards the engine's lines to the front end's view and keeps why a run failed: the last line painted
// red, else the last line shown (a failure that is not painted red is the last thing the run says).
class SocketView final : public ProgressDialogModel {
  public:
    explicit SocketView(OperationView* inner) : inner_(inner) {}

    void setText(ViewLine l, const std::string& text) override {
        ProgressDialogModel::setText(l, text);
        note(l);
        if (inner_) inner_->setText(l, text);
    }
    void setProgress(ViewLine l, const std::string& text) override {
        ProgressDialogModel::setText(l, text);
        if (inner_) inner_->setProgress(l, text);
    }
    void streamProgress(int done, int total) override {
        if (inner_) inner_->streamProgress(done, total);
    }
    void setRed(ViewLine l, bool red) override {
        ProgressDialogModel::setRed(l, red);
        note(l);
        if (inner_) inner_->setRed(l, red);
    }
    void setVisible(ViewLine l, bool visible) override {
        ProgressDialogModel::setVisible(l, visible);
        note(l);
        if (inner_) inner_->setVisible(l, visible);
    }
    void setContinueEnabled(bool enabled) override {
        if (inner_) inner_->setContinueEnabled(enabled);
    }
    void setExitEnabled(bool enabled) override {
        if (inner_) inner_->setExitEnabled(enabled);
    }
    void setRepeatTimer(bool) override {}  // a gang repeats by rounds, not by the flash test's timer
    void stateChanged() override {
        if (inner_) inner_->stateChanged();
    }

    void startRun() {
        *static_cast<ProgressDialogModel*>(this) = ProgressDialogModel();
        lastRed_.clear();
        lastShown_.clear();
    }
    std::string failureLine() const { return lastRed_.empty() ? lastShown_ : lastRed_; }

  private:
    void note(ViewLine l) {
        const Line& ln = line(l);
        if (!ln.visible || ln.text.empty()) return;
        (ln.red ? lastRed_ : lastShown_) = displayText(ln.text);
    }

    OperationView* inner_;
    std::string lastRed_;
    std::string lastShown_;
};

}  // namespace

struct GangRun::SocketState {
    SocketState(int index, Socket frontEnd) : index(index), fe(std::move(frontEnd)), view(fe.view) {
        if (fe.ui) holder.ui = fe.ui;
        holder.link.portEntry = fe.port;
    }
    int index;
    Socket fe;
    bool on = true;
    bool sharesProjectPort = false;  // the socket's port is the owner's own, open before the gang
    MainState holder;                // keeps the socket's link (its port) between rounds
    SocketView view;
    std::unique_ptr<WriterJob> job;
    GangChip chip;
    long long chipId = 0;  // the journal's reservation of the round's chip
    std::optional<uint64_t> number;
    ProductionRecord record;
};

GangRun::GangRun(MainState& project, std::vector<Socket> sockets) : project_(project) {
    int index = 0;
    bool projectPortTaken = false;
    for (Socket& s : sockets) {
        if (index == kMaxGangSockets) break;
        auto state = std::make_unique<SocketState>(++index, std::move(s));
        LinkState& link = state->holder.link;
        const LinkState& own = project.link;
        if (!projectPortTaken && own.Comm1 && !own.portError &&
            samePortEntry(link.portEntry, own.openEntry)) {
            // The owner's port is open already (a serial device opens once): the socket uses it while the
            // gang runs, and leaves it open.
            link = own;
            state->sharesProjectPort = true;
            projectPortTaken = true;
        }
        link.handshake = own.handshake;
        link.clock = own.clock;
        link.portFactory = own.portFactory;
        link.portName = portDisplayName(link.portEntry);
        sockets_.push_back(std::move(state));
    }
}

GangRun::~GangRun() {
    requestStop();
    for (auto& s : sockets_) s->job.reset();  // stops and joins; the round's result is dropped
    for (auto& s : sockets_)
        if (s->holder.link.Comm1 && !s->sharesProjectPort) s->holder.link.Comm1->Close();
}

bool GangRun::isOn(int socket) const {
    return socket >= 1 && socket <= socketCount() && sockets_[static_cast<std::size_t>(socket - 1)]->on;
}

void GangRun::setOn(int socket, bool on) {
    if (socket >= 1 && socket <= socketCount()) sockets_[static_cast<std::size_t>(socket - 1)]->on = on;
}

LinkState& GangRun::link(int socket) {
    return sockets_.at(static_cast<std::size_t>(socket - 1))->holder.link;
}

std::vector<int> GangRun::openPorts() {
    std::vector<int> off;
    for (auto& s : sockets_) {
        if (!s->on) continue;
        if (!PreparePort(s->holder.link, project_.device, *s->holder.ui)) {
            s->on = false;
            off.push_back(s->index);
        }
    }
    return off;
}

bool GangRun::reserve(SocketState& s, MainState& st, uint64_t candidate, std::string& error) {
    s.chipId = 0;
    s.number.reset();
    s.record = projectRecord(project_.deviceListText, project_.dataFileName, project_.options,
                             project_.serial, s.holder.link);
    s.record.time = isoLocalTime(std::time(nullptr));
    s.record.operation = displayText(operationTitle(project_.operation.operationType));
    s.record.serialNumber.clear();
    s.record.qtpFile.clear();
    bool usedUp = false;
    auto place = [&](uint64_t number) -> std::optional<std::string> {
        if (!placeNumber(st, *lot_, number)) {
            usedUp = true;
            return std::nullopt;
        }
        s.number = number;
        return serialNumberHex(st.serial);
    };
    if (journal_) {
        ChipRecord chip;
        chip.station = stationName(project_);
        chip.process = currentProcess();
        chip.port = "[" + std::to_string(s.index) + "] " + s.holder.link.portName;
        chip.logPath = logPath_;
        chip.record = s.record;
        const NumberRequest request{candidate, project_.journal.voidFailed, project_.journal.reuseSerial};
        if (lot_) {
            error = journal_->reserve(&*lot_, request, chip, place);
        } else {
            error = journal_->reserve(nullptr, request, chip);
        }
        if (!error.empty() || usedUp) return false;
        s.chipId = chip.id;
        s.record.serialNumber = chip.record.serialNumber;
    } else if (lot_) {
        const std::optional<std::string> hex = place(candidate);
        if (!hex) return false;
        s.record.serialNumber = *hex;
    }
    if (s.number) {
        if (st.serial.qtpFileOpen) s.record.qtpFile = st.serial.qtpFilePath;
        s.chip.serial = trimBlanks(serialNumberText(st.serial));
        s.chip.serialHex = s.record.serialNumber;
    }
    return true;
}

bool GangRun::startRound() {
    if (roundOpen_) return false;
    round_ = GangRound{};
    round_.number = ++rounds_;
    roundOpen_ = true;
    passCount_ = project_.serial.passCountText;
    recordError_.clear();
    for (auto& s : sockets_) {
        s->chip = GangChip{};
        s->chip.socket = s->index;
        s->chip.port = s->fe.port;
        s->number.reset();
    }

    const OperationType type = project_.operation.operationType;
    const OperationPlan plan =
        buildOperationPlan(type, project_.device, project_.settings.programEepromInAuto);
    const SerialNumberState& sn = project_.serial;
    numbered_ = sn.serialMode && (plan.isAuto || (sn.target == SerialTarget::Eeprom && plan.doProgramEeprom));
    journal_.reset();
    if (journalWanted(project_)) {
        if (std::string e = openJournal(project_); !e.empty()) {
            round_.error = std::move(e);
            return false;
        }
        journal_ = project_.journal.open;
    }
    lot_ = numbered_ ? currentLot(project_) : std::nullopt;
    logPath_ = project_.operation.productionLogPath;
    if (!logPath_.empty()) {
        if (std::string e = prepareProductionLog(logPath_); !e.empty()) {
            round_.error = std::move(e);
            return false;
        }
    }
    // The numbers in socket order: those of failed chips first, then new ones.
    std::vector<uint64_t> retry = std::exchange(retry_, {});
    if (retry.empty() || !nextFresh_) {
        retry.clear();
        nextFresh_ = lot_ ? std::optional<uint64_t>(currentNumber(project_)) : std::nullopt;
    }
    std::size_t retryIndex = 0;
    std::string error;
    std::vector<SocketState*> started;
    for (auto& sp : sockets_) {
        SocketState& s = *sp;
        if (!s.on) continue;
        auto job = std::make_unique<WriterJob>(
            project_, JobScope::Link,
            [this, &s](MainState& st, const std::atomic<bool>& stop) { work(s, st, stop); });
        MainState& st = job->snapshot().state;
        st.link = s.holder.link;
        st.ui = s.holder.ui;
        // The gang records the chip itself (in socket order at the round's start, then from each worker).
        st.journal.enabled = false;
        st.operation.productionLogPath.clear();
        const bool fromRetry = retryIndex < retry.size();
        const uint64_t candidate = fromRetry ? retry[retryIndex] : nextFresh_.value_or(0);
        if (!reserve(s, st, candidate, error)) {
            if (error.empty()) round_.listUsedUp = true;
            break;
        }
        if (fromRetry) ++retryIndex;
        if (s.number && (!fromRetry || *s.number != candidate)) nextFresh_ = nextInLot(*lot_, *s.number);
        std::lock_guard lock(jobsMutex_);
        s.job = std::move(job);
        started.push_back(&s);
    }
    // Numbers of failed chips that no socket took this round wait for the next.
    retry_.assign(retry.begin() + static_cast<std::ptrdiff_t>(std::min(retryIndex, retry.size())),
                  retry.end());

    if (!error.empty()) {
        // The journal cannot be written: no chip is touched; the numbers reserved so far are free again.
        for (SocketState* s : started) {
            if (journal_ && s->chipId != 0)
                journal_->finish(s->chipId, ChipOutcome::Fail, error, 0, passCount_);
            std::lock_guard lock(jobsMutex_);
            s->job.reset();
        }
        round_.error = error;
        return false;
    }
    if (started.empty()) return false;
    for (SocketState* s : started) {
        insertFreshChipForRun(s->job->snapshot().state.link, project_.device);  // the operator swaps chips
        s->view.startRun();
        std::lock_guard lock(jobsMutex_);
        if (stop_) s->job->requestStop();
        s->job->start([this, index = s->index] {
            if (onSocketEnded) onSocketEnded(index);
        });
    }
    return true;
}

void GangRun::work(SocketState& s, MainState& st, const std::atomic<bool>& stop) {
    const auto started = std::chrono::steady_clock::now();
    GangChip& c = s.chip;
    c.ran = true;
    std::string thrown;
    try {
        OperationEngine engine(st, s.view, &stop);
        c.outcome = engine.run();
        c.lineFault = engine.lineFault();
    } catch (const std::exception& e) {
        thrown = e.what();
    } catch (...) {
        thrown = "Unexpected error";
    }
    if (!thrown.empty()) {
        // The serial component itself failed: the socket's line says so; the socket cannot go on.
        c.outcome = stop ? RunOutcome::Stopped : RunOutcome::Failed;
        c.lineFault = true;
        s.view.setRed(ViewLine::Data, true);
        s.view.setText(ViewLine::Data, storedText(thrown));
    }
    if (c.outcome == RunOutcome::NotRecorded) c.outcome = RunOutcome::Failed;  // no log in the snapshot
    if (!c.passed() && !c.interrupted())
        c.failure = thrown.empty() ? s.view.failureLine() : trimBlanks(thrown);
    c.durationMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count();
    c.writer = st.link.writerIdText;
    record(s, st);
}

void GangRun::record(SocketState& s, const MainState& st) {
    GangChip& c = s.chip;
    const ChipOutcome outcome = c.interrupted() ? ChipOutcome::Interrupted
                                : c.passed()    ? ChipOutcome::Pass
                                                : ChipOutcome::Fail;
    std::lock_guard lock(mutex_);
    if (c.passed() && isAutoProgram(st.operation.operationType)) passCount_ = nextPassCount(passCount_);
    c.passCount = passCount_;
    std::string error;
    if (journal_ && s.chipId != 0)
        error = journal_->finish(s.chipId, outcome, c.failure, c.durationMs, c.passCount);
    if (error.empty() && !logPath_.empty()) {
        ProductionRecord r = s.record;
        r.result = outcomeName(outcome);
        r.failure = outcome == ChipOutcome::Fail ? c.failure : std::string();
        r.durationMs = c.durationMs;
        r.passCount = c.passCount;
        r.writer = c.writer;
        error = appendProductionLog(logPath_, productionLogLine(r));
    }
    if (!error.empty()) {
        c.lineFault = true;
        if (recordError_.empty()) recordError_ = error;
    }
}

std::string GangRun::serial(int socket) const {
    if (socket < 1 || socket > socketCount()) return {};
    return sockets_[static_cast<std::size_t>(socket - 1)]->chip.serial;  // not written by the workers
}

bool GangRun::roundEnded() const {
    std::lock_guard lock(jobsMutex_);
    for (const auto& s : sockets_)
        if (s->job && !s->job->ended()) return false;
    return true;
}

void GangRun::requestStop() {
    stop_ = true;
    std::lock_guard lock(jobsMutex_);
    for (const auto& s : sockets_)
        if (s->job) s->job->requestStop();
}

void GangRun::clearStop() {
    stop_ = false;
}

void GangRun::applyNextNumber() {
    if (!numbered_ || !lot_) return;
    bool gaveNumbers = false;
    std::vector<uint64_t> failed;
    for (const auto& s : sockets_) {
        if (!s->chip.ran || !s->number) continue;
        gaveNumbers = true;
        if (!s->chip.passed() && !s->chip.interrupted() && !project_.journal.voidFailed)
            failed.push_back(*s->number);
    }
    if (!gaveNumbers) return;
    failed.insert(failed.end(), retry_.begin(), retry_.end());
    retry_ = failed;
    const uint64_t next = retry_.empty() ? nextFresh_.value_or(0) : retry_.front();
    if (!placeNumber(project_, *lot_, next) && lot_->kind == LotKind::Qtp) {
        round_.listUsedUp = true;
        EndQtpProgramming(project_.serial, project_.operation.qtpSimulation, *project_.views);
    }
}

GangRound GangRun::finishRound() {
    if (!roundOpen_) return round_;
    for (auto& s : sockets_) {
        if (!s->job) continue;
        try {
            s->job->finish(s->holder);
        } catch (...) {
            // The work keeps its own errors; nothing else is thrown.
        }
        std::lock_guard lock(jobsMutex_);
        s->job.reset();
    }
    roundOpen_ = false;
    round_.chips.clear();
    for (auto& s : sockets_) {
        round_.chips.push_back(s->chip);
        if (s->chip.ran && s->chip.lineFault && !s->chip.interrupted()) {
            s->on = false;
            round_.switchedOff.push_back(s->index);
        }
    }
    if (round_.error.empty()) round_.error = recordError_;
    project_.serial.passCountText = passCount_;
    applyNextNumber();
    project_.views->refreshSerialIndicators();
    return round_;
}

}  // namespace qzr
