// The gang: several -p options, every writer operation and `run` on all sockets at once. Every line of a
// socket starts with "[K] " (K = 1 for the first -p).
#include <cstdio>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "app/GangRun.h"
#include "app/OperationCommands.h"
#include "cli/Cli.h"
#include "cli/CliInterrupt.h"
#include "cli/CliJson.h"
#include "core/operations/OperationView.h"
#include "core/writer/WriterDetect.h"

namespace qzr::cli {

namespace {

// One line at a time from any socket's worker: lines of different sockets never mix.
class GangOutput {
  public:
    void line(std::ostream& os, const std::string& text) {
        std::lock_guard lock(mutex_);
        os << text << '\n' << std::flush;
    }

  private:
    std::mutex mutex_;
};

// A socket's progress lines as the single operation prints them (each non-empty text of a shown line, red
// ones on the error stream; no progress addresses, no bar), after the socket's prefix.
class SocketPrinter final : public ProgressDialogModel {
  public:
    SocketPrinter(GangOutput& output, std::string prefix, std::ostream& out, std::ostream& err)
        : output_(output), prefix_(std::move(prefix)), out_(out), err_(err) {}

    void setText(ViewLine l, const std::string& text) override {
        ProgressDialogModel::setText(l, text);
        print(l);
    }
    void setProgress(ViewLine l, const std::string& text) override { ProgressDialogModel::setText(l, text); }
    void setVisible(ViewLine l, bool visible) override {
        const bool wasVisible = line(l).visible;
        ProgressDialogModel::setVisible(l, visible);
        if (visible && !wasVisible) print(l);
    }

  private:
    void print(ViewLine l) {
        const Line& ln = line(l);
        if (!ln.visible || ln.text.empty()) return;
        output_.line(ln.red ? err_ : out_, prefix_ + displayText(ln.text));
    }

    GangOutput& output_;
    std::string prefix_;
    std::ostream& out_;
    std::ostream& err_;
};

// A socket's messages and questions, as the program's own (CliUserInterface) but after the prefix.
class SocketUi final : public UserInterface {
  public:
    SocketUi(GangOutput& output, std::string prefix, std::ostream& out, std::ostream& err, bool yes)
        : output_(output), prefix_(std::move(prefix)), out_(out), err_(err), yes_(yes) {}
    void message(const std::string& text) override { output_.line(out_, prefix_ + text); }
    void error(const std::string& text) override { output_.line(err_, prefix_ + text); }
    bool askYesNo(const std::string& text) override {
        output_.line(err_, prefix_ + text + (yes_ ? " -- Yes (-y)" : " -- No (-y answers Yes)"));
        return yes_;
    }
    bool askAbortIgnore(const std::string& text) override {
        output_.line(err_, prefix_ + text + (yes_ ? " -- Ignore (-y)" : " -- Abort (-y answers Ignore)"));
        return yes_;
    }

  private:
    GangOutput& output_;
    std::string prefix_;
    std::ostream& out_;
    std::ostream& err_;
    bool yes_;
};

// The gang of the command line with what its sockets print through.
struct CliGang {
    GangOutput output;
    std::vector<std::unique_ptr<SocketPrinter>> printers;
    std::vector<std::unique_ptr<SocketUi>> uis;
    std::unique_ptr<GangRun> run;
};

std::string prefix(int socket) {
    return "[" + std::to_string(socket) + "] ";
}

// The context's gang, made (and its ports opened) by the first writer operation. Sockets whose port cannot
// be opened are switched off (their message printed); false when no socket is left.
bool prepareGang(Context& ctx, bool& portFault) {
    if (!ctx.gang) {
        auto gang = std::make_shared<CliGang>();
        std::vector<GangRun::Socket> sockets;
        int k = 0;
        for (const std::string& port : ctx.options.ports) {
            ++k;
            gang->printers.push_back(
                std::make_unique<SocketPrinter>(gang->output, prefix(k), ctx.out, ctx.err));
            gang->uis.push_back(
                std::make_unique<SocketUi>(gang->output, prefix(k), ctx.out, ctx.err, ctx.options.yes));
            sockets.push_back({port, gang->printers.back().get(), gang->uis.back().get()});
        }
        gang->run = std::make_unique<GangRun>(ctx.st, std::move(sockets));
        ctx.gang = std::shared_ptr<GangRun>(gang, gang->run.get());  // the gang keeps its printers alive
    }
    GangRun& run = *ctx.gang;
    portFault = !run.openPorts().empty();
    for (int k = 1; k <= run.socketCount(); ++k) {
        if (const std::string w = takePortWarning(run.link(k)); !w.empty()) ctx.err << prefix(k) << w << '\n';
    }
    for (int k = 1; k <= run.socketCount(); ++k)
        if (run.isOn(k)) return true;
    return false;
}

std::string seconds(long long ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(ms) / 1000.0);
    return text;
}

void printChipJson(Context& ctx, OperationType type, int chip, const GangChip& c) {
    const char* result = c.interrupted() ? "interrupted" : c.passed() ? "pass" : "fail";
    const bool failed = !c.interrupted() && !c.passed();
    JsonObject doc;
    doc.add("chip", chip)
        .add("socket", c.socket)
        .add("port", c.port)
        .add("operation", operationCommandName(type))
        .add("result", result)
        .add("failed_step", failed ? std::optional<std::string>(c.failure) : std::nullopt)
        .add("serial", c.serialHex.empty() ? std::nullopt : std::optional<std::string>(c.serialHex))
        .add("duration_ms", c.durationMs)
        .add("pass_count", decimalNumber(c.passCount));
    ctx.data << doc.str() << '\n' << std::flush;
}

// What a round left for the run's summary and status.
struct RoundTally {
    int chips = 0, passed = 0, failed = 0;
    bool interrupted = false;
    bool lineFault = false;
    bool end = false;  // the run cannot go on: the journal or the log failed, or the list is used up
};

// Runs one round on every socket that is on and prints one verdict line per socket and chip, chips numbered
// in socket order.
RoundTally runRound(Context& ctx, OperationType type) {
    GangRun& gang = *ctx.gang;
    RoundTally t;
    GangRound round;
    {
        const Interrupts::StopTarget stop(ctx.interrupts, [&gang] { gang.requestStop(); });
        gang.startRound();
        round = gang.finishRound();
    }
    for (const GangChip& c : round.chips) {
        if (!c.ran) continue;
        const int chip = ++ctx.chips;
        if (ctx.options.json) printChipJson(ctx, type, chip, c);
        const std::string head = prefix(c.socket) + "Chip " + std::to_string(chip) + ": ";
        if (c.interrupted()) {
            ctx.err << head << "interrupted (" << seconds(c.durationMs) << ")\n" << std::flush;
            t.interrupted = true;
            continue;
        }
        ++t.chips;
        if (c.passed()) {
            ++t.passed;
            ctx.out << head << "PASS " << (c.serial.empty() ? "" : "Serial No. " + c.serial + " ") << '('
                    << seconds(c.durationMs) << ")\n";
        } else {
            ++t.failed;
            ctx.out << head << "FAIL " << c.failure << " (" << seconds(c.durationMs) << ")\n";
        }
        ctx.out << std::flush;
    }
    for (int k : round.switchedOff) {
        ctx.err << prefix(k) << "Socket " << k << " is switched off (the line failed); the others go on\n";
        t.lineFault = true;
    }
    if (!round.error.empty()) {
        ctx.err << round.error << '\n' << std::flush;
        t.lineFault = true;
        t.end = true;
    }
    if (round.listUsedUp) t.end = true;
    if (gang.stopRequested() || (ctx.interrupts && ctx.interrupts->interrupted())) t.interrupted = true;
    return t;
}

bool anySocketOn(const GangRun& gang) {
    for (int k = 1; k <= gang.socketCount(); ++k)
        if (gang.isOn(k)) return true;
    return false;
}

}  // namespace

int runGangOperation(Context& ctx, OperationType type) {
    if (!dispatchOperation(ctx.st, type)) return kExitFailed;  // refused, or aborted at the question
    bool portFault = false;
    if (!prepareGang(ctx, portFault)) return kExitFailed;
    const RoundTally t = runRound(ctx, type);
    if (t.interrupted) return kExitInterrupted;
    return t.failed == 0 && !t.lineFault && !portFault ? kExitOk : kExitFailed;
}

int runGangChips(Context& ctx, OperationType type, int count) {
    // Asked once, as the window asks before its first run.
    if (!dispatchOperation(ctx.st, type)) return kExitFailed;
    bool lineFault = false;
    bool interrupted = false;
    int chips = 0, passed = 0, failed = 0;
    if (prepareGang(ctx, lineFault)) {
        LineReader input(ctx.inputFd, ctx.interrupts);
        GangRun& gang = *ctx.gang;
        while (count == 0 || chips < count) {
            if (ctx.inputTerminal)
                ctx.err << "Round " << gang.rounds() + 1
                        << ": put the chips in the sockets and press Enter (q ends) " << std::flush;
            const LineReader::Result r = input.operatorAnswer();
            if (r == LineReader::Result::Interrupted) {
                interrupted = true;
                break;
            }
            if (r == LineReader::Result::End) break;
            const RoundTally t = runRound(ctx, type);
            chips += t.chips;
            passed += t.passed;
            failed += t.failed;
            lineFault = lineFault || t.lineFault;
            if (t.interrupted) {
                interrupted = true;
                break;
            }
            if (t.end || !anySocketOn(gang) || gang.stopRequested()) break;
        }
    } else {
        lineFault = true;
    }
    ctx.out << "Chips: " << chips << ", passed: " << passed << ", failed: " << failed << '\n' << std::flush;
    if (interrupted || (ctx.interrupts && ctx.interrupts->interrupted())) return kExitInterrupted;
    if (lineFault) return kExitLineFault;
    return failed > 0 ? kExitFailed : kExitOk;
}

}  // namespace qzr::cli
