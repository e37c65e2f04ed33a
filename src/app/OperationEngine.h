#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "core/journal/ProductionJournal.h"
#include "core/operations/OperationPlan.h"
#include "core/operations/OperationView.h"
#include "core/operations/ProductionLog.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {

struct MainState;

// How a run ended.
enum class RunOutcome {
    Passed,       // every planned step passed (or the QTP simulation ran); completion done
    QtpFinished,  // passed, and the QTP file is used up: "QTP programming finished!"
    Failed,       // a pre-check, the writer check or a step failed; the dialog says why
    Stopped,      // a stop request ended the run; nothing more was sent or shown
    // The run reached the chip (and may have passed: pass count and serial number have moved on then) but
    // its line could not be added to the production log. lbTotalTime shows why, in red; only Exit is
    // enabled until the front end has the operator acknowledge it
    // (OperationSession::acknowledgeRecordFailure).
    NotRecorded,
};

inline bool runPassed(RunOutcome o) {
    return o == RunOutcome::Passed || o == RunOutcome::QtpFinished;
}

// The operation engine: one run of the operation in `st.operation.operationType`, reporting to `view`.
// Runs on a worker thread while the progress dialog blocks the main window. Raising `stop` ends the run
// within one exchange: nothing more is sent to the writer or shown.
class OperationEngine {
  public:
    // The program's port (st.link.Comm1) and tick clock.
    OperationEngine(MainState& st, OperationView& view, const std::atomic<bool>* stop = nullptr);
    // An explicit link and clock (tests, benchmarks).
    OperationEngine(MainState& st, CommLink& link, Clock& clock, OperationView& view,
                    const std::atomic<bool>* stop = nullptr);

    // With a production log set (OperationState::productionLogPath), a run that reached the chip (the writer
    // identified itself) adds the chip's line to the log and flushes it to disk before it enables Continue,
    // Exit or the repeat timer; a log that cannot take lines stops the run before the writer is addressed.
    // While writer runs are recorded in the production journal (journalWanted), the chip is reserved in it
    // once the writer has identified itself and before the first byte goes to the chip, with its number when
    // the run programs one (the journal chooses it: a number the lot holds is skipped); its outcome is on
    // disk before Continue, Exit or the repeat timer are enabled. A journal that cannot be opened or written
    // stops the run before the chip is touched.
    RunOutcome run();

    // The plan of the last run.
    const OperationPlan& plan() const { return plan_; }

    // After NotRecorded: the message shown (as the dialog shows it), and whether the run would have
    // offered Continue.
    const std::string& recordFailure() const { return recordFailure_; }
    bool continueWithheld() const { return heldContinue_; }

    // The last run failed for a fault of the line rather than of the chip: the writer did not answer in
    // time (or held CTS off), the adapter board reported an error, or the production log could not be
    // prepared or could not take the chip's line. The next chip would meet the same fault.
    bool lineFault() const { return lineFault_; }
    // The serial number the last run gave its chip (hex digits, most significant byte first, as the record
    // holds it); empty when the run placed none or was not recorded.
    const std::string& chipSerialNumber() const { return record_.serialNumber; }

  private:
    struct StreamTexts;
    enum class Precheck { Failed, Simulated, Go };

    // Steps; each returns true to go on.
    bool erase();
    bool blankCheck();
    bool programId();
    bool verifyId();
    bool programData();
    bool verifyData();
    bool programEeprom();
    bool verifyEeprom();
    bool programOptions();
    bool verifyOptions();
    RunOutcome complete();
    RunOutcome runSteps();
    void reportReads();
    // Records the chip's outcome in the journal and adds its line to the production log, then enables what
    // finish() held back.
    RunOutcome record(RunOutcome outcome);
    // Reserves the chip (and its number) in the journal; false when the run must not go on (shown).
    bool reserveChip();

    Precheck prechecks();
    bool streamTransfer(int count, ViewLine line, ViewLine progressLine, const StreamTexts& texts);

    // Header of an exchange with the continuation bit set (more exchanges follow) or cleared.
    void header(uint8_t area, uint8_t kind, bool more);
    // Ends the writer sequence after a comparison failure.
    void closeSequence();
    int wordsOfHeader() const;

    // Dialog helpers.
    void show(ViewLine line, const std::string& text);
    void say(ViewLine line, const std::string& text);
    // A failure text, painted red; fail() also enables the buttons.
    void mark(ViewLine line, const std::string& text);
    void fail(ViewLine line, const std::string& text, bool allowContinue);
    void failShown(ViewLine line, const std::string& text, bool allowContinue);
    void finish(bool allowContinue);
    // The common handling of a status that is not the expected one.
    void failStatus(ViewLine line, LinkResult status, const char* timeoutText, const char* writerErrorText);
    std::string withStepTime(const std::string& text);
    int elapsedMs(int startTicks);

    LinkResult sendHeader();
    LinkResult read7Bit(int count, bool everyByte = false);
    LinkResult read8Bit(int count);
    LinkResult writeData(int count);
    int ticks() { return writer_.clockTicks(); }
    bool stopped() const { return writer_.stopRequested(); }

    MainState& st_;
    WriterLink writer_;
    OperationView& view_;
    OperationPlan plan_;
    int runStart_ = 0;
    int stepStart_ = 0;

    // The production record of this run.
    bool recording_ = false;  // the log or the journal is in use and the run reached the chip
    std::shared_ptr<ProductionJournal> journal_;  // the journal of this run, null when none
    long long chipId_ = 0;                        // the chip's reservation, 0 when none
    std::chrono::steady_clock::time_point started_;
    std::string failureText_;  // the failing step's text, as stored
    ProductionRecord record_;  // the fields known when the writer has identified itself
    bool heldContinue_ = false;
    bool heldExit_ = false;
    bool heldTimer_ = false;
    std::string recordFailure_;
    bool lineFault_ = false;
};

}  // namespace qzr
