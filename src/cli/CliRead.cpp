// Reading a chip and the device-data download: read, download.
#include <ostream>
#include <string>
#include <vector>

#include "app/DownloadCommand.h"
#include "app/PortCommands.h"
#include "app/ReadIcCommand.h"
#include "cli/Cli.h"
#include "cli/CliInterrupt.h"
#include "core/common/FileIo.h"
#include "core/image/DataSave.h"
#include "core/writer/Download.h"

namespace qzr::cli {

namespace {

// The read window's status lines as output lines: failures (red in the window) on stderr, the others on
// stdout. On a terminal the program-memory gauge is a bar on stderr.
class CliReadView final : public ReadIcView {
  public:
    explicit CliReadView(Context& ctx) : ctx_(ctx), bar_(ctx.err, ctx.terminal) {}
    ~CliReadView() override { bar_.clear(); }
    void showLine(ReadIcLine, const std::string& text, bool failure) override {
        bar_.clear();
        (failure ? ctx_.err : ctx_.out) << text << '\n' << std::flush;
    }
    void setGauge(int percent) override { bar_.percent(percent); }

  private:
    Context& ctx_;
    ProgressBar bar_;
};

std::optional<Action> parseRead(ArgStream& args, std::string& error) {
    if (args.atEnd()) {
        error = "a file name is needed";
        return std::nullopt;
    }
    const std::string file = args.next();
    const std::string ext = fileExtension(file);
    DataSaveFormat format;
    if (ext == "MHX") {
        format = DataSaveFormat::hex;
    } else if (ext == "BIN") {
        format = DataSaveFormat::binary;
    } else {
        error = "the file name must end in .mhx or .bin: " + file;
        return std::nullopt;
    }
    return Action([file, format](Context& ctx) {
        if (!beginReadIc(ctx.st)) return kExitFailed;
        CliReadView view(ctx);
        ReadIcOutcome outcome;
        {
            ReadIcWorker worker(readIcJob(ctx.st), view);
            // An interrupt ends the read at its next exchange, as closing the read window does.
            const Interrupts::StopTarget stop(ctx.interrupts, [&worker] { worker.requestStop(); });
            worker.start();
            outcome = worker.wait();
        }
        endReadIc(ctx.st);
        if (outcome != ReadIcOutcome::Done) return kExitFailed;
        return SaveProgramMemory(ctx.st.device, ctx.st.image, *ctx.st.ui, file, format) ? kExitOk
                                                                                        : kExitFailed;
    });
}

// NAME[,NAME...]: every name must be a device of the table.
std::optional<Action> parseDownload(ArgStream& args, std::string& error) {
    if (args.atEnd()) {
        error = "device names are needed (NAME[,NAME...])";
        return std::nullopt;
    }
    const std::string list = args.next();
    const DeviceSelection rows;
    std::vector<int> picked;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t comma = list.find(',', pos);
        const std::string name =
            list.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        int row = -1;
        for (int i = 0; i < rows.rowCount(); ++i) {
            if (rows.name(i) == name) row = i;
        }
        if (row < 0) {
            error = "unknown device: \"" + name + "\"";
            return std::nullopt;
        }
        picked.push_back(row);
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    return Action([picked](Context& ctx) {
        // The devices are checked one by one, as in the list: a 17th is refused.
        DeviceSelection selection;
        for (int row : picked) {
            if (!selection.clickCheck(row, true, *ctx.st.ui)) return kExitFailed;
        }
        if (!PreparePort(ctx.st)) return kExitFailed;
        DownloadView view;
        return DownLoadClick(ctx.st, selection, view) ? kExitOk : kExitFailed;
    });
}

}  // namespace

void registerReadCommands(std::vector<CommandSpec>& commands) {
    commands.push_back({"read", parseRead});
    commands.push_back({"download", parseDownload});
}

}  // namespace qzr::cli
