#include "app/OperationEngine.h"

#include <algorithm>
#include <ctime>

#include "app/JournalCommands.h"
#include "app/MainState.h"
#include "app/OperationCommands.h"
#include "app/StateHeader.h"
#include "core/common/HexText.h"
#include "core/device/DeviceCatalogue.h"
#include "core/operations/ProductionLog.h"
#include "core/options/IdCode.h"
#include "core/options/Options.h"
#include "core/serial_number/PassCounter.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"

namespace qzr {

struct OperationEngine::StreamTexts {
    const char* ctsTimeout;
    const char* replyTimeout;
    const char* done;
    const char* fail;
};

OperationEngine::OperationEngine(MainState& st, OperationView& view, const std::atomic<bool>* stop)
    : st_(st), writer_(st.link, st.image, stop), view_(view) {
    reportReads();
}

OperationEngine::OperationEngine(MainState& st, CommLink& link, Clock& clock, OperationView& view,
                                 const std::atomic<bool>* stop)
    : st_(st), writer_(st.link, st.image, link, clock, stop), view_(view) {
    reportReads();
}

// The long reads (program memory) report their progress; the short ones (ID, options) do not.
void OperationEngine::reportReads() {
    writer_.onReceived = [this](int received, int count) {
        if (count >= 256 && !stopped()) view_.streamProgress(received, count);
    };
}

// ---------------------------------------------------------------------------------------------------------
// Dialog helpers. Once a stop was requested nothing more is shown.

void OperationEngine::show(ViewLine line, const std::string& text) {
    if (stopped()) return;
    // The text first: a line that appears never shows, even for a moment, what it said before (a progress
    // address of the step before).
    view_.setText(line, text);
    view_.setVisible(line, true);
}

void OperationEngine::say(ViewLine line, const std::string& text) {
    if (!stopped()) view_.setText(line, text);
}

void OperationEngine::mark(ViewLine line, const std::string& text) {
    if (stopped()) return;
    failureText_ = text;
    view_.setRed(line, true);
    view_.setText(line, text);
}

void OperationEngine::fail(ViewLine line, const std::string& text, bool allowContinue) {
    mark(line, text);
    finish(allowContinue);
}

void OperationEngine::failShown(ViewLine line, const std::string& text, bool allowContinue) {
    if (stopped()) return;
    mark(line, text);
    view_.setVisible(line, true);
    finish(allowContinue);
}

void OperationEngine::finish(bool allowContinue) {
    if (stopped()) return;
    if (recording_) {
        // Nothing lets the next chip start before this chip's line is on disk.
        heldContinue_ = heldContinue_ || allowContinue;
        heldExit_ = true;
        return;
    }
    if (allowContinue) view_.setContinueEnabled(true);
    view_.setExitEnabled(true);
}

void OperationEngine::failStatus(ViewLine line, LinkResult status, const char* timeoutText,
                                 const char* writerErrorText) {
    switch (status) {
        case lrNoChip:
            fail(line, "Nothing in socket or type error!!", true);
            break;
        case lrAdapterError:
            lineFault_ = true;
            fail(line, "IC adapter board error!!", true);
            break;
        case lrTimeout:
            lineFault_ = true;
            fail(line, timeoutText, true);
            break;
        default:
            fail(line, writerErrorText, true);
            break;
    }
}

int OperationEngine::elapsedMs(int startTicks) {
    int now = ticks();
    if (now < startTicks) now += 6000;  // one wrap of the minute
    return (now - startTicks) * 10;
}

std::string OperationEngine::withStepTime(const std::string& text) {
    if (!st_.operation.showProgramTime) return text;
    return text + "......." + std::to_string(elapsedMs(stepStart_)) + " ms";
}

// ---------------------------------------------------------------------------------------------------------
// Writer exchanges. After a stop request none is started.

LinkResult OperationEngine::sendHeader() {
    return stopped() ? lrStopped : writer_.SendHeader(10);
}
LinkResult OperationEngine::read7Bit(int count, bool everyByte) {
    if (stopped()) return lrStopped;
    // The protocol lets a stream end one byte short. Where the step compares every byte (the program
    // memory), that last byte would be the one of the exchange before (after programming: the image itself),
    // so such a stream must not pass. The ID and option reads compare bytes well inside the stream.
    return everyByte ? writer_.Read7BitDataWhole(count) : writer_.Read7BitData(count);
}
LinkResult OperationEngine::read8Bit(int count) {
    return stopped() ? lrStopped : writer_.Read8BitData(count);
}
LinkResult OperationEngine::writeData(int count) {
    return stopped() ? lrStopped : writer_.WriteData(count);
}

// ---------------------------------------------------------------------------------------------------------
// Sequence framing.

void OperationEngine::header(uint8_t area, uint8_t kind, bool more) {
    GetHeader(st_, area, kind);
    WriterHeader h = headerInImage(st_.image);
    h.setContinuation(more);
    putHeader(st_.image, h);
}

void OperationEngine::closeSequence() {
    WriterHeader h = headerInImage(st_.image);
    h.setContinuation(false);
    h.lastIndex &= 0xFF00;  // only the low byte of the last index is cleared
    putHeader(st_.image, h);
    read7Bit(2);  // the writer's answer does not matter
}

int OperationEngine::wordsOfHeader() const {
    return headerInImage(st_.image).lastIndex;
}

// ---------------------------------------------------------------------------------------------------------
// The run.

RunOutcome OperationEngine::run() {
    started_ = std::chrono::steady_clock::now();
    lineFault_ = false;
    RunOutcome outcome = RunOutcome::Failed;
    try {
        outcome = runSteps();
    } catch (const ECommError& e) {
        // The serial component failed: the chip's line says so, and the error goes on to the front end.
        if (recording_) {
            failureText_ = storedText(e.what());
            record(stopped() ? RunOutcome::Stopped : RunOutcome::Failed);
        }
        throw;
    }
    return recording_ ? record(outcome) : outcome;
}

RunOutcome OperationEngine::record(RunOutcome outcome) {
    ProductionRecord r = record_;
    r.passCount = st_.serial.passCountText;
    const ChipOutcome chip = outcome == RunOutcome::Stopped ? ChipOutcome::Interrupted
                             : runPassed(outcome)           ? ChipOutcome::Pass
                                                            : ChipOutcome::Fail;
    r.result = outcomeName(chip);
    if (outcome == RunOutcome::Failed) r.failure = displayText(failureText_);
    r.durationMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_)
            .count();
    // The journal first: it decides which numbers are used again; the log line is written from the same
    // record.
    std::string error;
    if (journal_ && chipId_ != 0) {
        error = journal_->finish(chipId_, chip, r.failure, r.durationMs, r.passCount);
        chipId_ = 0;
    }
    const std::string& log = st_.operation.productionLogPath;
    if (error.empty() && !log.empty()) error = appendProductionLog(log, productionLogLine(r));
    if (outcome == RunOutcome::Stopped || stopped()) return RunOutcome::Stopped;
    if (error.empty()) {
        if (heldTimer_) view_.setRepeatTimer(true);
        if (heldContinue_) view_.setContinueEnabled(true);
        if (heldExit_) view_.setExitEnabled(true);
        return outcome;
    }
    // The chip stays counted and its number used (it may hold it); the operator learns which chip it was.
    lineFault_ = true;
    recordFailure_ = error + "; this chip is not recorded (" + r.result + ", pass count " + r.passCount +
                     (r.serialNumber.empty() ? std::string() : ", serial No. " + r.serialNumber) + ")";
    view_.setRed(ViewLine::TotalTime, true);
    view_.setText(ViewLine::TotalTime, storedText(recordFailure_));
    view_.setExitEnabled(true);
    return RunOutcome::NotRecorded;
}

RunOutcome OperationEngine::runSteps() {
    const OperationType type = st_.operation.operationType;
    say(ViewLine::Title, operationTitle(type));
    plan_ = buildOperationPlan(type, st_.device, st_.settings.programEepromInAuto);
    runStart_ = ticks();

    const Precheck pre = prechecks();
    if (pre == Precheck::Failed) return stopped() ? RunOutcome::Stopped : RunOutcome::Failed;
    if (pre == Precheck::Simulated) return complete();

    bool ok = true;
    if (plan_.doErase) {
        stepStart_ = ticks();
        ok = erase();
    }
    if (ok && plan_.doBlankCheck) {
        stepStart_ = ticks();
        ok = blankCheck();
    }
    // Each program-and-verify pair is timed as one step.
    if (ok) stepStart_ = ticks();
    if (ok && plan_.doProgramId) ok = programId();
    if (ok && plan_.doVerifyId) ok = verifyId();
    if (ok) stepStart_ = ticks();
    if (ok && plan_.doProgramData) ok = programData();
    if (ok && plan_.doVerifyData) ok = verifyData();
    if (ok) stepStart_ = ticks();
    if (ok && plan_.doProgramEeprom) ok = programEeprom();
    if (ok && plan_.doVerifyEeprom) ok = verifyEeprom();
    if (ok) stepStart_ = ticks();
    if (ok && plan_.doProgramOptions) ok = programOptions();
    if (ok && plan_.doVerifyOptions) ok = verifyOptions();
    if (stopped()) return RunOutcome::Stopped;
    if (!ok) return RunOutcome::Failed;
    return complete();
}

OperationEngine::Precheck OperationEngine::prechecks() {
    const SerialNumberState& sn = st_.serial;
    // What the window makes unreachable is refused here too, whichever front end started the run.
    if (const std::string refusal = operationRefusal(st_, st_.operation.operationType); !refusal.empty()) {
        failShown(ViewLine::Data, refusal, false);
        return Precheck::Failed;
    }
    // The serial number goes into RTWI words of program memory: each of them must still be one.
    if (sn.serialMode && plan_.isAuto && sn.target == SerialTarget::ProgramMemory) {
        for (int i = 0; i < serialByteCount(sn); ++i) {
            if (!isRtwiWord(st_.image, sn.startAddress + static_cast<uint32_t>(i))) {
                failShown(ViewLine::Data, "The program memory is not 'RTWI'", false);
                return Precheck::Failed;
            }
        }
    }
    // A number that cannot be placed whole (it would lie outside the device) must not go to a chip.
    if (!SerialNo2Memory(st_.serial, st_.options, st_.optionBytes, st_.device, st_.image, *st_.views) &&
        plan_.isAuto) {
        failShown(ViewLine::Data,
                  sn.target == SerialTarget::Eeprom ? "Serial no located beyond EEPROM memory size"
                                                    : "Serial no located beyond program memory size",
                  false);
        return Precheck::Failed;
    }

    if (st_.operation.qtpSimulation && plan_.isAuto) {
        show(ViewLine::Data, "Simulate Programming OK");
        return Precheck::Simulated;
    }

    if (plan_.isAuto) {
        const int words = st_.device.programWordCount();
        bool allBlank = true;
        for (int n = 0; n < words && allBlank; ++n)
            allBlank =
                isBlankWord(st_.image.programWord(static_cast<std::size_t>(n)), st_.device.highByteMask);
        if (allBlank) {
            failShown(ViewLine::Data, "Data memory are blank or error", false);
            return Precheck::Failed;
        }
        const std::string optionWarning = optionStatusMessage(st_.options.optionStatus);
        if (!optionWarning.empty()) {
            failShown(ViewLine::Data, optionWarning, false);
            return Precheck::Failed;
        }
    }

    // A chip that could not be recorded is not programmed.
    const std::string& log = st_.operation.productionLogPath;
    if (!log.empty()) {
        if (const std::string error = prepareProductionLog(log); !error.empty()) {
            lineFault_ = true;
            failShown(ViewLine::Data, storedText(error), false);
            return Precheck::Failed;
        }
    }
    journal_.reset();
    chipId_ = 0;
    if (journalWanted(st_)) {
        if (const std::string error = openJournal(st_); !error.empty()) {
            lineFault_ = true;
            failShown(ViewLine::Data, storedText(error), false);
            return Precheck::Failed;
        }
        journal_ = st_.journal.open;
    }

    runStart_ = ticks();
    if (stopped()) return Precheck::Failed;
    const LinkResult writer = writer_.CheckWriter(st_.device, *st_.ui, *st_.views);
    if (stopped()) return Precheck::Failed;
    if (writer == lrWrongWriter || writer == lrTimeout) {
        lineFault_ = writer == lrTimeout;
        failShown(ViewLine::Data, writer == lrWrongWriter ? "Wrong writer!" : "Connect timeout!", false);
        return Precheck::Failed;
    }
    // From here on the run reaches the chip: it is recorded.
    if (!log.empty() || journal_) {
        // What goes to this chip, before the completion moves on to the next number.
        record_ = projectRecord(st_.deviceListText, st_.dataFileName, st_.options, st_.serial, st_.link);
        record_.time = isoLocalTime(std::time(nullptr));
        record_.operation = displayText(operationTitle(st_.operation.operationType));
        if (sn.serialMode && plan_.isAuto) {
            record_.serialNumber = serialNumberHex(sn);
            if (sn.qtpFileOpen) record_.qtpFile = sn.qtpFilePath;
        }
        if (journal_ && !reserveChip()) return Precheck::Failed;
        recording_ = true;
    }
    return Precheck::Go;
}

bool OperationEngine::reserveChip() {
    SerialNumberState& sn = st_.serial;
    ChipRecord chip;
    chip.station = stationName(st_);
    chip.process = currentProcess();
    chip.port = st_.link.portName;
    chip.logPath = st_.operation.productionLogPath;
    chip.record = record_;
    // The runs that put the number on the chip take it from the journal.
    const bool numbered =
        sn.serialMode && (plan_.isAuto || (sn.target == SerialTarget::Eeprom && plan_.doProgramEeprom));
    const std::optional<Lot> lot = numbered ? currentLot(st_) : std::nullopt;
    bool usedUp = false;
    const NumberRequest request{lot ? currentNumber(st_) : 0, st_.journal.voidFailed,
                                st_.journal.reuseSerial};
    const std::string error = journal_->reserve(lot ? &*lot : nullptr, request, chip,
                                                [&](uint64_t number) -> std::optional<std::string> {
                                                    if (!placeNumber(st_, *lot, number)) {
                                                        usedUp = true;
                                                        return std::nullopt;
                                                    }
                                                    return serialNumberHex(sn);
                                                });
    if (!error.empty()) {
        lineFault_ = true;  // the journal cannot take the chip
        failShown(ViewLine::Data, storedText(error), false);
        return false;
    }
    if (usedUp) {
        // Every record of the QTP list is in the journal.
        if (sn.qtpFileOpen || lot->kind == LotKind::Qtp) {
            EndQtpProgramming(sn, st_.operation.qtpSimulation, *st_.views);
            show(ViewLine::Qtp, "QTP programming finished!");
            finish(false);
        } else {
            failShown(ViewLine::Data,
                      sn.target == SerialTarget::Eeprom ? "Serial no located beyond EEPROM memory size"
                                                        : "Serial no located beyond program memory size",
                      false);
        }
        return false;
    }
    chipId_ = chip.id;
    record_.serialNumber = chip.record.serialNumber;
    if (numbered && sn.qtpFileOpen) record_.qtpFile = sn.qtpFilePath;
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Steps.

bool OperationEngine::erase() {
    show(ViewLine::Erase, "Erase flash memory...");
    GetHeader(st_, kAreaProgram, kKindErase);  // sent as built: the erase never carries the continuation bit
    const LinkResult r = sendHeader();
    if (r != lrDone) {
        failStatus(ViewLine::Erase, r, "Connect timeout!!", "Writer error!!");
        return false;
    }
    say(ViewLine::Erase, withStepTime("Erase end"));
    return writer_.DelayIn10ms(90);
}

bool OperationEngine::blankCheck() {
    const uint8_t hbm = st_.device.highByteMask;
    const ViewLine line = ViewLine::BlankCheck;

    // ID and checksum words.
    show(line, "Blank Check -> Check ID & Checksum");
    header(kAreaId, kKindRead, true);
    LinkResult r = read7Bit(wordsOfHeader() * 2 + 2);
    if (r != lrDone) {
        failStatus(line, r, "Connect Timeout!!", "Writer error!!");
        return false;
    }
    for (std::size_t n = 0; n < 8; ++n) {
        if (!isBlankWord(st_.image.transferWord(n), hbm)) {
            mark(line, "ID or Checksum ...... Not Blank!!");
            closeSequence();
            finish(true);
            return false;
        }
    }

    // Option words.
    say(line, "Blank Check -> Check Options");
    header(kAreaOption, kKindRead, true);
    r = read7Bit(8);
    if (r != lrDone) {
        failStatus(line, r, "Connect timeout!!", "Writer error!!");
        return false;
    }
    {
        auto t = st_.image.transferArea();
        const unsigned m1 = st_.device.optionMask1, m2 = st_.device.optionMask2;
        bool blank = (t[0] & m1 & 0x7F) == (m1 & 0x7F) && (t[1] & (m1 >> 7)) == (m1 >> 7);
        if (st_.device.optionByteCount == 4)
            blank = blank && (t[2] & m2 & 0x7F) == (m2 & 0x7F) && (t[3] & (m2 >> 7)) == (m2 >> 7);
        if (!blank) {
            say(line, "OPTION ....... Not blank!!");  // not painted red
            failureText_ = "OPTION ....... Not blank!!";
            closeSequence();
            finish(true);
            return false;
        }
    }

    // Program memory.
    say(line, "Blank check -> check data");
    header(kAreaProgram, kKindRead, plan_.lastStep != LastStep::BlankCheckData);
    r = read7Bit(st_.device.programByteCount, true);
    if (r != lrDone) {
        failStatus(line, r, "Connect timeout!!", "Writer error!!");
        return false;
    }
    const int words = st_.device.programWordCount();
    for (int n = 0; n < words; ++n) {
        const Word w = st_.image.transferWord(static_cast<std::size_t>(n));
        if (!isBlankWord(w, hbm)) {
            mark(line, "Data ........ not blank at (" + hexDigits(static_cast<unsigned>(n), 4) +
                           "H), Data = " + hexDigits(wordValue(w), 4) + "H !!");
            closeSequence();
            finish(true);
            return false;
        }
    }
    say(line, withStepTime("Blank check OK."));
    return true;
}

bool OperationEngine::programId() {
    const ViewLine line = ViewLine::Id;
    show(line, "Program ID...");
    header(kAreaId, plan_.overWrite ? kKindProgramPulse : kKindProgram, true);
    const LinkResult r = sendHeader();
    if (r != lrReady) {
        failStatus(line, r, "Connect timeout!!", "Writer error!!");
        return false;
    }
    GetIdChecksum(st_.options, st_.device, st_.image);
    const LinkResult w = writeData(wordsOfHeader() * 2 + 2);
    if (w == lrWriteDone) return true;
    if (w == lrWriteFail) {
        // Words 0-5 carry the ID bytes 0-11; words 6 and 7 the checksum.
        const int word = st_.link.writeFailIndex / 2;
        fail(line,
             word > 5 ? std::string("Checksum program fail !!")
                      : "ID program fail at address " + hexDigits(static_cast<unsigned>(word), 4) + " !!",
             true);
        return false;
    }
    failStatus(line, w, "Connect timeout!!", "Writer error!!");
    return false;
}

bool OperationEngine::verifyId() {
    const ViewLine line = ViewLine::Id;
    show(line, "Verify ID && Checksum");
    header(kAreaId, kKindRead, plan_.lastStep != LastStep::IdVerify);
    const LinkResult r = read7Bit(wordsOfHeader() * 2 + 2);
    if (r != lrDone) {
        failStatus(line, r, "Connect Timeout!!", "Writer error!!");
        return false;
    }
    const IdVerifyResult v = VerifyIdChecksum(st_.options, st_.device, st_.image);
    if (!v.ok()) {
        mark(line, v.idDiffers && v.checksumDiffers ? "ID && checksum verify fail!!"
                   : v.idDiffers                    ? "ID verify fail!!"
                                                    : "Checksum verify fail!!");
        closeSequence();
        finish(false);
        return false;
    }
    say(line,
        withStepTime(plan_.verifyOnly ? "ID && checksum verify OK" : "ID && checksum program and verify OK"));
    return true;
}

bool OperationEngine::programData() {
    const ViewLine line = ViewLine::Data;
    show(line, "Program data...");
    show(ViewLine::Eeprom, "");
    header(kAreaProgram, plan_.overWrite ? kKindProgramPulse : kKindProgram, true);
    const LinkResult r = sendHeader();
    if (r != lrReady) {
        failStatus(line, r, "Connect timeout!!", "Writer error!!");
        return false;
    }
    GetRomData(st_);
    static const StreamTexts kTexts{"Connect timeout!!", "Connect Timeout!!", "Data program Ok",
                                    "Data program fail !!"};
    return streamTransfer(st_.device.programByteCount, line, ViewLine::Eeprom, kTexts);
}

bool OperationEngine::verifyData() {
    const ViewLine line = ViewLine::Data;
    const uint8_t hbm = st_.device.highByteMask;
    show(line, "Verify data ...");
    if (!stopped()) {
        view_.setText(ViewLine::Eeprom, "");
        view_.setVisible(ViewLine::Eeprom, true);
    }
    header(kAreaProgram, kKindRead, plan_.lastStep != LastStep::DataVerify);
    const LinkResult r = read7Bit(st_.device.programByteCount, true);
    if (r != lrDone) {
        failStatus(line, r, "Connect timeout!!", "Writer Error!!");
        return false;
    }
    const uint8_t m = plan_.compareMask;
    const int words = st_.device.programWordCount();
    for (int n = 0; n < words; ++n) {
        const Word image = st_.image.programWord(static_cast<std::size_t>(n));
        const Word chip = st_.image.transferWord(static_cast<std::size_t>(n));
        if ((image.low & m) == (chip.low & m) && (image.high & hbm & m) == (chip.high & hbm & m)) continue;
        unsigned buffer = wordValue(image);
        // In protect mode the bits left out of the comparison show as 1.
        if (plan_.protectMode) buffer |= st_.device.coreType == 3 ? 0x079F : 0x0F9F;
        mark(line, "Data verify error at " + hexDigits(static_cast<unsigned>(n), 4) + "H");
        say(ViewLine::Eeprom,
            "IC=" + hexDigits(wordValue(chip), 4) + "H, Buffer=" + hexDigits(buffer, 4) + "H");
        closeSequence();
        finish(true);
        return false;
    }
    say(line, withStepTime(plan_.verifyOnly ? "Data verify OK" : "Data program && verify OK"));
    if (!stopped()) view_.setVisible(ViewLine::Eeprom, false);
    return true;
}

bool OperationEngine::programEeprom() {
    const ViewLine line = ViewLine::Eeprom;
    show(line, "Program EEPROM data...");
    show(ViewLine::Option, "");
    header(kAreaEeprom, kKindProgramPulse, true);
    {
        WriterHeader h = headerInImage(st_.image);
        h.timing = 20;
        putHeader(st_.image, h);
    }
    const LinkResult r = sendHeader();
    if (r != lrReady) {
        failStatus(line, r, "Connect timeout!!", "Writer Error!!");
        return false;
    }
    // (data, address) pairs.
    const int size = std::min<int>(st_.device.eepromSize, static_cast<int>(layout::kTransferBytes / 2));
    auto t = st_.image.transferArea();
    for (int a = 0; a < size; ++a) {
        t[2 * static_cast<std::size_t>(a)] = st_.image.eepromByte(static_cast<std::size_t>(a));
        t[2 * static_cast<std::size_t>(a) + 1] = static_cast<uint8_t>(a & 0xFF);
    }
    static const StreamTexts kTexts{"Connect timeout!!", "Connect timeout!!", "EEPROM data program Ok",
                                    "EEPROM data program fail !!"};
    if (!streamTransfer(2 * size, line, ViewLine::Option, kTexts)) return false;
    if (!stopped()) view_.setVisible(ViewLine::Option, false);
    return !stopped();
}

bool OperationEngine::verifyEeprom() {
    const ViewLine line = ViewLine::Eeprom;
    show(line, "Verify EEPROM data...");
    show(ViewLine::Option, "");
    header(kAreaEeprom, kKindRead, plan_.lastStep != LastStep::EepromVerify);
    const int size = std::min<int>(st_.device.eepromSize, static_cast<int>(layout::kEepromBytes));
    const LinkResult r = read8Bit(size);
    if (r != lrDone) {
        failStatus(line, r, "Connect timeout!!", "Writer Error!!");
        return false;
    }
    auto t = st_.image.transferArea();
    for (int a = 0; a < size; ++a) {
        const uint8_t image = st_.image.eepromByte(static_cast<std::size_t>(a));
        const uint8_t chip = t[static_cast<std::size_t>(a)];
        if (image == chip) continue;
        // Shown in the lines' current colour, not red.
        failureText_ = "EEPROM data verify error at " + hexDigits(static_cast<unsigned>(a), 4) + "H";
        say(line, failureText_);
        say(ViewLine::Option, "IC=" + hexDigits(chip, 2) + "H, Buffer=" + hexDigits(image, 2) + "H");
        closeSequence();
        finish(false);
        return false;
    }
    say(line, withStepTime(plan_.verifyOnly ? "EEPROM data verify OK" : "EEPROM data program && verify OK"));
    return true;
}

bool OperationEngine::programOptions() {
    const ViewLine line = ViewLine::Option;
    show(line, "Program Option ...");
    header(kAreaOption, plan_.overWrite ? kKindProgramPulse : kKindProgram, true);
    const LinkResult r = sendHeader();
    if (r != lrReady) {
        failStatus(line, r, "Connect Timeout!!", "Writer Error!!");
        return false;
    }
    auto t = st_.image.transferArea();
    for (std::size_t i = 0; i < 4; ++i) t[i] = st_.optionBytes[i];
    if (st_.device.coreType == 3) t[1] = static_cast<uint8_t>(t[1] | 0x70);
    const LinkResult w = writeData(((headerInImage(st_.image).lastIndex & 0xFF) + 1) * 2);
    if (w == lrWriteDone) return true;
    if (w == lrWriteFail) {
        fail(line, "OPTION program fail !!", true);
        return false;
    }
    failStatus(line, w, "Connect Timeout!!", "Writer Error!!");
    return false;
}

bool OperationEngine::verifyOptions() {
    const ViewLine line = ViewLine::Option;
    show(line, "Verify Option ...");
    header(kAreaOption, kKindRead, false);  // this read always ends the writer sequence
    const LinkResult r = read7Bit(8);
    if (r != lrDone) {
        failStatus(line, r, "Connect Timeout!!", "Writer Error!!");
        return false;
    }
    auto t = st_.image.transferArea();
    if (plan_.protectMode) {
        const bool unprotected = st_.device.coreType == 3 ? (t[1] & 0x08) != 0 : (t[1] & 0x40) != 0;
        if (unprotected) {
            fail(line, "IC is not protected !", false);
            return false;
        }
    }
    const auto& o = st_.optionBytes;
    const unsigned m1 = st_.device.optionMask1, m2 = st_.device.optionMask2;
    const unsigned m1High = (m1 >> 7) & 0x1F;  // the top two bits of option word 1 are not compared
    bool same = (o[0] & m1 & 0x7F) == (t[0] & m1 & 0x7F) && (o[1] & m1High) == (t[1] & m1High);
    if (st_.device.optionByteCount == 4)
        same = same && (o[2] & m2 & 0x7F) == (t[2] & m2 & 0x7F) && (o[3] & (m2 >> 7)) == (t[3] & (m2 >> 7));
    if (!same) {
        fail(line, "OPTION verify Fail!!", false);
        return false;
    }
    say(line, withStepTime(plan_.verifyOnly ? "OPTION verify OK" : "OPTION program && verify OK"));
    return true;
}

// The byte-by-byte stream of program data or EEPROM pairs: one byte (a pair for a fast writer) per
// handshake, each answered by the writer.
bool OperationEngine::streamTransfer(int count, ViewLine line, ViewLine progressLine,
                                     const StreamTexts& texts) {
    const bool fast = twoBytesPerHandshake(st_.link.writerIdText, st_.link.writerVersion);
    auto t = st_.image.transferArea();
    const int last = std::min<int>(count + 5, static_cast<int>(t.size()) - 2);
    for (int p = 0; p <= last; ++p) {
        if (stopped()) return false;
        WriterLink::WaitResult w = writer_.PacedSend(t[static_cast<std::size_t>(p)], writer_.clockTicks());
        if (w == WriterLink::WaitResult::Stopped) return false;
        if (w == WriterLink::WaitResult::Timeout) {
            lineFault_ = true;
            fail(line, texts.ctsTimeout, true);
            return false;
        }
        if (fast) {
            ++p;
            writer_.WriteByte(t[static_cast<std::size_t>(p)]);
        }
        w = writer_.WaitForByte(writer_.clockTicks());
        if (w == WriterLink::WaitResult::Stopped) return false;
        uint8_t reply = 0;
        if (w == WriterLink::WaitResult::Timeout || !writer_.ReadByte(reply)) {
            lineFault_ = true;
            fail(line, texts.replyTimeout, true);
            return false;
        }
        switch (reply) {
            case wb::kReady:
                if (stopped()) break;
                if (p % 32 == 1) view_.setProgress(progressLine, hexDigits(static_cast<unsigned>(p / 2), 4));
                view_.streamProgress(std::min(p + 1, count), count);
                break;
            case wb::kProgramDone:
                if (!stopped()) view_.streamProgress(count, count);
                say(line, texts.done);
                return !stopped();
            case wb::kProgramFail:
                say(progressLine, hexDigits(static_cast<unsigned>(p / 2), 4));
                fail(line, texts.fail, true);
                return false;
            case wb::kNoChip:
                fail(line, "Nothing in socket or type error!", true);
                return false;
            default:
                fail(line, "Unknow return value!!", true);
                return false;
        }
    }
    // No 0xB0 after all rounds: the verify decides.
    return !stopped();
}

// ---------------------------------------------------------------------------------------------------------
// Completion.

RunOutcome OperationEngine::complete() {
    if (stopped()) return RunOutcome::Stopped;
    const OperationType type = st_.operation.operationType;
    if (type == OperationType::AutoProgram || type == OperationType::AutoProgramNoBlankCheck)
        IncrementPassCount(st_.serial, *st_.views);
    if (st_.serial.serialMode && plan_.isAuto) {
        // The next number: from the QTP file, or computed. A used-up file ends serial-number mode.
        if (!SerialNoAfterGoodRun(st_.serial, st_.operation.qtpSimulation, st_.options, st_.optionBytes,
                                  st_.device, st_.image, *st_.ui, *st_.views)) {
            show(ViewLine::Qtp, "QTP programming finished!");
            if (!stopped()) view_.setContinueEnabled(false);
            finish(false);
            return RunOutcome::QtpFinished;
        }
    } else {
        SerialNo2Memory(st_.serial, st_.options, st_.optionBytes, st_.device, st_.image, *st_.views);
    }
    if (st_.operation.flashTestRepeat && !stopped()) {
        if (recording_)
            heldTimer_ = true;
        else
            view_.setRepeatTimer(true);
    }
    finish(true);
    if (st_.operation.showProgramTime && !stopped())
        view_.setText(ViewLine::TotalTime,
                      "Total program time = " + std::to_string(elapsedMs(runStart_)) + " ms");
    return RunOutcome::Passed;
}

}  // namespace qzr
