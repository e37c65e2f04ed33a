#include "cli/Cli.h"

#include <algorithm>
#include <iostream>

#include "app/DeviceCommands.h"
#include "core/options/Options.h"
#include "core/writer/PortNames.h"
#include "core/writer/WriterDetect.h"

namespace qzr::cli {

void CliUserInterface::message(const std::string& text) {
    out_ << text << '\n' << std::flush;
}
void CliUserInterface::error(const std::string& text) {
    out_ << text << '\n' << std::flush;
}
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
    "[--log FILE] [--journal PATH] [--station NAME] [--reuse-serial] [--void-failed] COMMAND [COMMAND ...]\n"
    "       qzr-writer-cli [-d NAME] emulate [LINK] [FAULT...]\n"
    "         FAULT: no-chip, adapter-error, class1, class2, fail-at=K, silence-after=N, wrong-reply=HH, "
    "id=TEXT\n"
    "       qzr-writer-cli --help | --version";

constexpr int kBarWidth = 40;

}  // namespace

const char* helpText() {
    return "usage: qzr-writer-cli [OPTIONS] COMMAND [COMMAND ...]\n"
           "\n"
           "Options, applied before the first command whatever their position:\n"
           "  -d, --device NAME      select a device by its exact name (as picking it in the device list)\n"
           "  -c, --config FILE      load a configuration file\n"
           "  -l, --load FILE        load a data file (.bin .mhx .hex .obj .cfg)\n"
           "  -y, --yes              answer every question with Yes / Ignore (without it: No / Abort)\n"
           "  -p, --port PORT        Com1..Com8, a serial device path such as /dev/ttyUSB0, or \"virtual\"\n"
           "                         (the built-in emulated writer); without it the port of the "
           "configuration\n"
           "                         file stands, else Com1\n"
           "      --log FILE         append one CSV line per chip that a writer operation reached\n"
           "                         (production record)\n"
           "      --journal PATH     the production journal (default: qzr-journal.db beside the -c file,\n"
           "                         else in the working folder)\n"
           "      --station NAME     this station's name in the journal (default: the host name)\n"
           "      --reuse-serial     allow a start value inside numbers the journal holds for this lot\n"
           "      --void-failed      a failed chip's number is not used again\n"
           "      --handshake MODE   Default | CTS | None\n"
           "      --show-time        show the step times and the total program time\n"
           "      --help             print this help and exit\n"
           "      --version          print the version and exit\n"
           "\n"
           "Commands, run in the order given; the first that fails ends the run:\n"
           "  devices                the device table: name, program words, EEPROM bytes, otp|flash, core "
           "type\n"
           "  info                   the project state (device, checksums, options, ID, serial number, pass "
           "count)\n"
           "  save FILE              save the data memory (.mhx as HEX, .bin as binary)\n"
           "  save-config FILE       write the configuration file\n"
           "  disasm FILE            write the disassembly listing\n"
           "  serial ADDR N VALUE [INC] [seq|random] [msb|lsb] [program|eeprom]\n"
           "                         serial-number setup (ADDR, VALUE hex; N, INC decimal)\n"
           "  write-qtp FILE PARTS   write a QTP file for PARTS parts\n"
           "  load-qtp FILE          open a QTP file\n"
           "  detect                 open the port and identify the writer\n"
           "  read FILE              read the chip, then save it to FILE (.mhx or .bin)\n"
           "  blank-check | erase | program-id | program | program-options | program-eeprom | verify |\n"
           "  verify-protect | auto | auto-no-blank-check | force-write\n"
           "                         one writer operation\n"
           "  download NAME[,NAME...]\n"
           "                         device-data download\n"
           "  journal                print the chips of the journal in use as CSV\n"
           "  emulate [LINK] [FAULT...]\n"
           "                         serve the emulated writer on a pseudo-terminal until interrupted; "
           "FAULT:\n"
           "                         no-chip, adapter-error, class1, class2, fail-at=K, silence-after=N,\n"
           "                         wrong-reply=HH, id=TEXT\n"
           "\n"
           "Exit status: 0 every command succeeded; 1 an operation or check failed; 2 bad usage (then no\n"
           "command runs).\n";
}

void ProgressBar::update(long long done, long long total) {
    if (total <= 0) return;
    percent(static_cast<int>(std::clamp(done, 0LL, total) * 100 / total));
}

void ProgressBar::percent(int value) {
    if (!enabled_) return;
    value = std::clamp(value, 0, 100);
    if (value == shown_) return;
    shown_ = value;
    const int filled = value * kBarWidth / 100;
    err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kBarWidth - filled), '-') << "] " << value << "%"
         << std::flush;
}

void ProgressBar::clear() {
    if (!enabled_ || shown_ < 0) return;
    shown_ = -1;
    err_ << '\r' << std::string(kBarWidth + 8, ' ') << '\r' << std::flush;
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
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
            if (ok && *options.handshake != "Default" && *options.handshake != "CTS" &&
                *options.handshake != "None") {
                err << "Unknown handshake: " << *options.handshake << '\n' << kUsage << '\n';
                return kExitUsage;
            }
        } else if (a == "--show-time") {
            options.showTime = true;
        } else if (a == "--log") {
            ok = value(options.log) && !options.log->empty();
        } else if (a == "--journal" || a == "--station") {
            ok = value(a == "--journal" ? options.journal : options.station) && !args[i].empty();
        } else if (a == "--reuse-serial" || a == "--void-failed") {
            (a == "--reuse-serial" ? options.reuseSerial : options.voidFailed) = true;
        } else if (a == "--help") {
            out << helpText() << std::flush;
            return kExitOk;
        } else if (a == "--version") {
            out << "qzr-writer-cli " << kVersionText << '\n' << std::flush;
            return kExitOk;
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
    registerJournalCommands(commands);

    // Every command is parsed before any runs: a bad one means none runs.
    std::vector<Action> actions;
    ArgStream stream(words);
    while (!stream.atEnd()) {
        const std::string name = stream.next();
        auto found = std::find_if(commands.begin(), commands.end(),
                                  [&](const CommandSpec& s) { return s.name == name; });
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
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui,
                 *st.views);  // start-up without "Default.cfg": the option display and checksums
    Context ctx{st, options, out, err, terminal};

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
    if (options.log) st.operation.productionLogPath = *options.log;
    st.journal.enabled = true;
    st.journal.path = options.journal.value_or("");
    st.journal.station = options.station.value_or("");
    st.journal.reuseSerial = options.reuseSerial;
    st.journal.voidFailed = options.voidFailed;

    for (Action& action : actions) {
        int rc = kExitFailed;
        try {
            rc = action(ctx);
        } catch (const ECommError& e) {
            // A failure of the serial component itself ends the run.
            err << e.what() << '\n';
        }
        // The serial component's warning about a slow adapter goes to stderr.
        if (const std::string w = takePortWarning(st.link); !w.empty()) err << w << '\n';
        if (rc != kExitOk) return rc;
    }
    return kExitOk;
}

}  // namespace qzr::cli
