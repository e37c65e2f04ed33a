#include "cli/Cli.h"

#include <algorithm>
#include <iostream>

#include "app/DeviceCommands.h"
#include "options/Options.h"
#include "writer/PortNames.h"
#include "writer/WriterDetect.h"

namespace qzr::cli {

void CliUserInterface::message(const std::string& text) { out_ << text << '\n' << std::flush; }
void CliUserInterface::error(const std::string& text) { out_ << text << '\n' << std::flush; }
bool CliUserInterface::askYesNo(const std::string& text) {
    out_ << text << '\n' << std::flush;
    return yes_;
}
bool CliUserInterface::askAbortIgnore(const std::string& text) {
    out_ << text << '\n' << std::flush;
    return yes_;
}

namespace {

const char* kUsage =
    "usage: qzr-writer-cli [-d NAME] [-c FILE] [-l FILE] [-y] [-p PORT] [--handshake MODE] [--show-time] "
    "COMMAND [COMMAND ...]\n"
    "       qzr-writer-cli [-d NAME] emulate [LINK] [FAULT...]\n"
    "         FAULT: no-chip, adapter-error, class1, class2, fail-at=K, silence-after=N, wrong-reply=HH, id=TEXT";

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options options;
    std::vector<std::string> words;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& target) {
            if (i + 1 >= args.size()) return false;
            target = args[++i];
            return true;
        };
        bool ok = true;
        if (a == "-d" || a == "--device") {
            ok = value(options.device);
        } else if (a == "-c" || a == "--config") {
            ok = value(options.config);
        } else if (a == "-l" || a == "--load") {
            ok = value(options.load);
        } else if (a == "-y" || a == "--yes") {
            options.yes = true;
        } else if (a == "-p" || a == "--port") {
            ok = value(options.port);
        } else if (a == "--handshake") {
            ok = value(options.handshake);
            if (ok && *options.handshake != "Default" && *options.handshake != "CTS" && *options.handshake != "None") {
                err << "Unknown handshake: " << *options.handshake << '\n' << kUsage << '\n';
                return kExitUsage;
            }
        } else if (a == "--show-time") {
            options.showTime = true;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "Unknown option: " << a << '\n' << kUsage << '\n';
            return kExitUsage;
        } else {
            words.push_back(a);
        }
        if (!ok) {
            err << "Option " << a << " needs a value\n" << kUsage << '\n';
            return kExitUsage;
        }
    }
    if (words.empty()) {
        err << kUsage << '\n';
        return kExitUsage;
    }

    std::vector<CommandSpec> commands;
    registerImageCommands(commands);
    registerInfoCommands(commands);
    registerProjectCommands(commands);
    registerSerialCommands(commands);
    registerWriterCommands(commands);
    registerOperationCommands(commands);
    registerReadCommands(commands);
    registerEmulateCommands(commands);

    // Every command is parsed before any runs: a bad one means none runs.
    std::vector<Action> actions;
    ArgStream stream(words);
    while (!stream.atEnd()) {
        const std::string name = stream.next();
        auto found = std::find_if(commands.begin(), commands.end(), [&](const CommandSpec& s) { return s.name == name; });
        if (found == commands.end()) {
            err << "Unknown command: " << name << '\n' << kUsage << '\n';
            return kExitUsage;
        }
        std::string problem;
        auto action = found->parse(stream, problem);
        if (!action) {
            err << name << ": " << (problem.empty() ? "bad arguments" : problem) << '\n';
            return kExitUsage;
        }
        actions.push_back(std::move(*action));
    }

    MainState st;
    CliUserInterface ui(out, options.yes);
    st.ui = &ui;
    st.firstShowDone = true;  // a load from the command line happens after start-up
    UpdateOption(st);         // start-up without "Default.cfg": the option display and checksums
    Context ctx{st, options, out, err};

    if (options.device) {
        if (!selectDevice(st, *options.device)) {
            err << "Unknown device: " << *options.device << '\n';
            return kExitUsage;
        }
    }
    if (options.config) {
        if (int rc = applyConfigOption(ctx, *options.config); rc != kExitOk) return rc;
    }
    if (options.load) {
        if (int rc = applyLoadOption(ctx, *options.load); rc != kExitOk) return rc;
    }
    if (options.handshake) st.link.handshake = *options.handshake;
    // Without -p the port named by a configuration file (-c, or -l with a .cfg) stands; the state starts
    // at Com1 when none names one.
    if (options.port) {
        st.link.portEntry = *options.port;
        st.link.portName = portDisplayName(*options.port);
    }
    st.operation.showProgramTime = options.showTime;

    for (Action& action : actions) {
        int rc = kExitFailed;
        try {
            rc = action(ctx);
        } catch (const ECommError& e) {
            // A failure of the serial component itself ends the run.
            err << e.what() << '\n';
        }
        // The serial component's warning about a slow adapter goes to stderr.
        if (const std::string w = takePortWarning(st); !w.empty()) err << w << '\n';
        if (rc != kExitOk) return rc;
    }
    return kExitOk;
}

}  // namespace qzr::cli
