// Writer operations: blank-check, erase, program..., verify, auto, force-write; and `run`, chip after chip.
#include <chrono>
#include <cstdio>
#include <ostream>

#include "app/OperationCommands.h"
#include "app/OperationSession.h"
#include "cli/Cli.h"
#include "cli/CliInterrupt.h"
#include "cli/CliJson.h"
#include "core/common/Text.h"
#include "core/operations/OperationView.h"

namespace qzr::cli {

namespace {

// Prints the progress dialog's lines as they are set: each non-empty text of a shown line, as the dialog
// shows it ("&&" as "&"); lines painted red on the error stream, the others on the output. The progress
// addresses of the streams are not printed; on a terminal the streams draw a bar on the error stream.
// Keeps the line that says why a run failed.
class ProgressPrinter final : public ProgressDialogModel {
  public:
    ProgressPrinter(std::ostream& out, std::ostream& err, bool terminal)
        : out_(out), err_(err), bar_(err, terminal) {}
    ~ProgressPrinter() override { bar_.clear(); }

    void setText(ViewLine l, const std::string& text) override {
        ProgressDialogModel::setText(l, text);
        print(l);
    }
    void setProgress(ViewLine l, const std::string& text) override { ProgressDialogModel::setText(l, text); }
    void streamProgress(int done, int total) override { bar_.update(done, total); }
    void setVisible(ViewLine l, bool visible) override {
        const bool wasVisible = line(l).visible;
        ProgressDialogModel::setVisible(l, visible);
        if (visible && !wasVisible) print(l);
    }

    // The last line painted red, else the last line printed (a failure that is not painted red is the
    // last thing the run says).
    std::string failureLine() const { return lastRed_.empty() ? lastShown_ : lastRed_; }

  private:
    void print(ViewLine l) {
        const Line& ln = line(l);
        if (!ln.visible || ln.text.empty()) return;
        bar_.clear();
        const std::string shown = displayText(ln.text);
        std::ostream& os = ln.red ? err_ : out_;
        os << shown << '\n' << std::flush;
        (ln.red ? lastRed_ : lastShown_) = shown;
    }

    std::ostream& out_;
    std::ostream& err_;
    ProgressBar bar_;
    std::string lastRed_;
    std::string lastShown_;
};

// How one chip went.
struct ChipResult {
    bool ran = false;  // the port was usable and the engine ran
    RunOutcome outcome = RunOutcome::Failed;
    bool interrupted = false;
    bool lineFault = false;
    bool qtpUsedUp = false;  // the QTP list was used up before this chip: it was not touched
    std::string failure;     // why it failed, as shown
    std::string serial;  // the serial number that went to the chip, as the display shows it; empty if none
    std::string serialHex;
    long long durationMs = 0;
    bool passed() const { return ran && !interrupted && runPassed(outcome); }
};

// A serial number's hex digits (most significant byte first) as the serial-number display groups them:
// "0104", "AB 0104", "00A1 B2C3".
std::string serialDisplay(const std::string& hex) {
    const std::size_t bytes = hex.size() / 2;
    std::string text;
    for (std::size_t k = 0; k < bytes; ++k) {
        const std::size_t i = bytes - 1 - k;  // the byte's place, 0 the least significant
        if (i % 2 == 1 && !text.empty()) text += ' ';
        text += hex.substr(2 * k, 2);
    }
    return text;
}

// One run of the dispatched operation on the chip in the socket: the same for a single command and for
// every chip of `run`. The serial number, QTP record and pass count move on in the state as in the window.
ChipResult runChip(Context& ctx) {
    MainState& st = ctx.st;
    ChipResult c;
    const bool qtpOpen = st.serial.qtpFileOpen;
    const auto started = std::chrono::steady_clock::now();
    std::exception_ptr error;
    // The port is opened here (and by detect, read, download) only; a failure has been shown.
    c.ran = WriterFunction(st, [&] {
        ProgressPrinter view(ctx.out, ctx.err, ctx.terminal);
        OperationSession session(st, view);
        session.start();
        {
            // Set once the run is under way; an interrupt that came before stops it at once.
            const Interrupts::StopTarget stop(ctx.interrupts, [&session] { session.requestStop(); });
            try {
                session.wait();
            } catch (...) {
                error = std::current_exception();
            }
        }
        c.outcome = session.lastOutcome();
        c.lineFault = session.lastLineFault();
        // The number the chip got (the journal may have moved it on from the one the state showed).
        c.serialHex = session.lastSerialNumber();
        c.serial = serialDisplay(c.serialHex);
        c.failure = c.outcome == RunOutcome::NotRecorded ? session.recordFailure() : view.failureLine();
    });
    c.durationMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started)
            .count();
    c.interrupted = c.ran && c.outcome == RunOutcome::Stopped;  // only an interrupt stops a run here
    if (error) {
        // The serial component itself failed (or something unforeseen): the chip failed with that text.
        std::string text = "Unexpected error";
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            text = e.what();
        } catch (...) {
        }
        ctx.err << text << '\n' << std::flush;
        c.failure = trimBlanks(text);
        c.outcome = RunOutcome::Failed;
        c.lineFault = true;
    }
    if (!c.ran) c.lineFault = true;  // the port could not be opened
    // The journal already holds every record of the QTP list: the run ended before the chip.
    c.qtpUsedUp = c.ran && qtpOpen && !st.serial.qtpFileOpen && !c.passed() && !c.interrupted && !c.lineFault;
    return c;
}

// The chip's JSON object (--json).
void printChipJson(Context& ctx, OperationType type, int chip, const ChipResult& c) {
    const char* result = c.interrupted ? "interrupted" : c.passed() ? "pass" : "fail";
    const bool failed = !c.interrupted && !c.passed();
    JsonObject doc;
    doc.add("chip", chip)
        .add("socket", 1)
        .add("port", ctx.st.link.portEntry)
        .add("operation", operationCommandName(type))
        .add("result", result)
        .add("failed_step", failed ? std::optional<std::string>(c.failure) : std::nullopt)
        .add("serial", c.serialHex.empty() ? std::nullopt : std::optional<std::string>(c.serialHex))
        .add("duration_ms", c.durationMs)
        .add("pass_count", decimalNumber(ctx.st.serial.passCountText));
    ctx.data << doc.str() << '\n' << std::flush;
}

int runOperation(Context& ctx, OperationType type) {
    if (ctx.options.ports.size() > 1) return runGangOperation(ctx, type);
    if (!dispatchOperation(ctx.st, type)) return kExitFailed;  // refused, or aborted at the question
    const ChipResult c = runChip(ctx);
    if (!c.ran) return kExitFailed;
    const int chip = ++ctx.chips;
    if (ctx.options.json) printChipJson(ctx, type, chip, c);
    if (c.interrupted) return kExitInterrupted;
    return c.passed() ? kExitOk : kExitFailed;
}

std::string seconds(long long ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(ms) / 1000.0);
    return text;
}

// run OPERATION [COUNT]: chip after chip with the operator.
int runChips(Context& ctx, OperationType type, int count) {
    if (ctx.options.ports.size() > 1) return runGangChips(ctx, type, count);
    MainState& st = ctx.st;
    // Asked once, as the window asks before its first run; the next chips are its Continue.
    if (!dispatchOperation(st, type)) return kExitFailed;
    LineReader input(ctx.inputFd, ctx.interrupts);
    int chips = 0, passed = 0, failed = 0;
    bool lineFault = false, interrupted = false;
    while (count == 0 || chips < count) {
        const int chip = ctx.chips + 1;
        if (ctx.inputTerminal)
            ctx.err << "Chip " << chip << ": put it in the socket and press Enter (q ends) " << std::flush;
        const LineReader::Result r = input.operatorAnswer();
        if (r == LineReader::Result::Interrupted) {
            interrupted = true;
            break;
        }
        if (r == LineReader::Result::End) break;

        const ChipResult c = runChip(ctx);
        if (!c.ran) {
            lineFault = true;
            break;
        }
        if (c.qtpUsedUp) break;  // a used-up QTP list ends the run normally
        ctx.chips = chip;
        if (ctx.options.json) printChipJson(ctx, type, chip, c);
        if (c.interrupted) {
            ctx.err << "Chip " << chip << ": interrupted (" << seconds(c.durationMs) << ")\n" << std::flush;
            interrupted = true;
            break;
        }
        ++chips;
        if (c.passed()) {
            ++passed;
            ctx.out << "Chip " << chip << ": PASS "
                    << (c.serial.empty() ? "" : "Serial No. " + c.serial + " ") << '('
                    << seconds(c.durationMs) << ")\n";
        } else {
            ++failed;
            ctx.out << "Chip " << chip << ": FAIL " << c.failure << " (" << seconds(c.durationMs) << ")\n";
        }
        ctx.out << std::flush;
        if (c.lineFault) {
            lineFault = true;
            break;
        }
        if (c.outcome == RunOutcome::QtpFinished) break;  // the QTP list is used up
    }
    ctx.out << "Chips: " << chips << ", passed: " << passed << ", failed: " << failed << '\n' << std::flush;
    if (interrupted || (ctx.interrupts && ctx.interrupts->interrupted())) return kExitInterrupted;
    if (lineFault) return kExitLineFault;
    return failed > 0 ? kExitFailed : kExitOk;
}

std::optional<Command> parseRun(ArgStream& args, std::string& error) {
    const char* usage = "usage: run OPERATION [COUNT] (OPERATION: a writer operation such as auto)";
    if (args.atEnd()) {
        error = usage;
        return std::nullopt;
    }
    const std::string name = args.next();
    const std::optional<OperationType> type = operationTypeFromCommand(name);
    if (!type) {
        error = "not a writer operation: " + name + " (" + usage + ")";
        return std::nullopt;
    }
    int count = 0;
    if (!args.atEnd() && !args.peek().empty() &&
        args.peek().find_first_not_of("0123456789") == std::string::npos) {
        const std::string digits = args.next();
        if (digits.size() > 9 || std::stoi(digits) == 0) {
            error = "COUNT must be a number of chips from 1 to 999999999";
            return std::nullopt;
        }
        count = std::stoi(digits);
    }
    return Command([type = *type, count](Context& ctx) { return runChips(ctx, type, count); });
}

}  // namespace

void registerOperationCommands(std::vector<CommandSpec>& commands) {
    for (int t = 0; t < kOperationTypeCount; ++t) {
        const auto type = static_cast<OperationType>(t);
        commands.push_back(
            {operationCommandName(type), [type](ArgStream&, std::string&) -> std::optional<Command> {
                 return Command([type](Context& ctx) { return runOperation(ctx, type); });
             }});
    }
    commands.push_back({"run", parseRun});
}

}  // namespace qzr::cli
