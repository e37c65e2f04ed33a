// Writer operations: blank-check, erase, program..., verify, auto, force-write.
#include <ostream>

#include "app/OperationCommands.h"
#include "app/OperationSession.h"
#include "cli/Cli.h"
#include "core/operations/OperationView.h"

namespace qzr::cli {

namespace {

// Prints the progress dialog's lines as they are set: each non-empty text of a shown line, as the dialog
// shows it ("&&" as "&"); lines painted red on the error stream, the others on the output. The progress
// addresses of the streams are not printed; on a terminal the streams draw a bar on the error stream.
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

  private:
    void print(ViewLine l) {
        const Line& ln = line(l);
        if (!ln.visible || ln.text.empty()) return;
        bar_.clear();
        std::ostream& os = ln.red ? err_ : out_;
        os << displayText(ln.text) << '\n' << std::flush;
    }

    std::ostream& out_;
    std::ostream& err_;
    ProgressBar bar_;
};

int runOperation(Context& ctx, OperationType type) {
    MainState& st = ctx.st;
    if (!dispatchOperation(st, type)) return kExitFailed;  // aborted at the reset-address question
    RunOutcome outcome = RunOutcome::Failed;
    // The port is opened here (and by detect, read, download) only; a failure has been shown.
    WriterFunction(st, [&] {
        ProgressPrinter view(ctx.out, ctx.err, ctx.terminal);
        OperationSession session(st, view);
        session.start();
        session.wait();
        outcome = session.lastOutcome();
    });
    return runPassed(outcome) ? kExitOk : kExitFailed;
}

}  // namespace

void registerOperationCommands(std::vector<CommandSpec>& commands) {
    for (int t = 0; t < kOperationTypeCount; ++t) {
        const auto type = static_cast<OperationType>(t);
        commands.push_back(
            {operationCommandName(type), [type](ArgStream&, std::string&) -> std::optional<Action> {
                 return Action([type](Context& ctx) { return runOperation(ctx, type); });
             }});
    }
}

}  // namespace qzr::cli
