#include "cli/Cli.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <string_view>

#include "app/DeviceCommands.h"
#include "cli/CliInterrupt.h"
#include "core/common/FileIo.h"
#include "core/config/ConfigFile.h"
#include "core/options/Options.h"
#include "core/writer/PortNames.h"
#include "core/writer/WriterDetect.h"

namespace qzr::cli {

void CliUserInterface::message(const std::string& text) {
    out_ << text << '\n' << std::flush;
}
void CliUserInterface::error(const std::string& text) {
    err_ << text << '\n' << std::flush;
}
bool CliUserInterface::askYesNo(const std::string& text) {
    err_ << text << (yes_ ? " -- Yes (-y)" : " -- No (-y answers Yes)") << '\n' << std::flush;
    return yes_;
}
bool CliUserInterface::askAbortIgnore(const std::string& text) {
    err_ << text << (yes_ ? " -- Ignore (-y)" : " -- Abort (-y answers Ignore)") << '\n' << std::flush;
    return yes_;
}

namespace {

const char* kUsage =
    "usage: qzr-writer-cli [-d NAME] [-c FILE] [-l FILE] [-y] [-p PORT] [--handshake MODE] [--show-time] "
    "[--log FILE] [--journal PATH] [--station NAME] [--reuse-serial] [--void-failed] [--json] COMMAND "
    "[COMMAND ...]\n"
    "       qzr-writer-cli [-d NAME] emulate [LINK] [FAULT...]\n"
    "         FAULT: no-chip, adapter-error, class1, class2, fail-at=K, silence-after=N, wrong-reply=HH, "
    "id=TEXT\n"
    "       qzr-writer-cli --help | --version";

constexpr int kBarWidth = 40;

// The device a configuration file names, when the file can be read and parsed; its load reports the rest.
std::optional<std::string> configDevice(const std::string& file) {
    FilePrefix prefix;
    if (readFilePrefix(file, kMaxConfigFileBytes, prefix, true) != FileReadResult::ok) return std::nullopt;
    const CfgParse parsed = parseConfig(
        std::string_view(reinterpret_cast<const char*>(prefix.bytes.data()), prefix.bytes.size()));
    if (parsed.fault != CfgFault::none) return std::nullopt;
    return parsed.values.device;
}

// The usage problems of the options themselves; empty when there is none. `device` becomes the table's
// name of the -d device.
std::string checkOptions(const Options& options, std::string& device) {
    for (const std::string& port : options.ports) {
        if (!deviceNamed(port).empty()) return "-p " + port + ": -p is the port; choose the device with -d";
    }
    if (!options.device) return {};
    device = deviceNamed(*options.device);
    if (device.empty()) return "Unknown device: " + *options.device;
    // -d and a configuration file (-c, or -l with a .cfg) that names another device: which one is meant?
    const std::pair<const char*, const std::optional<std::string>*> files[] = {{"-c", &options.config},
                                                                               {"-l", &options.load}};
    for (const auto& [flag, file] : files) {
        if (!*file || (std::string_view(flag) == "-l" && fileExtension(**file) != "CFG")) continue;
        const std::optional<std::string> named = configDevice(**file);
        if (named && *named != device) {
            return "-d " + device + " and " + flag + " " + **file +
                   " choose different devices (the file names " + *named + ")";
        }
    }
    return {};
}

}  // namespace

bool sameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string optionItemName(std::string caption) {
    while (!caption.empty() && (caption.back() == ':' || caption.back() == ' ')) caption.pop_back();
    return caption;
}

std::string deviceNamed(const std::string& name) {
    for (const DeviceRecord& r : deviceTable()) {
        if (sameTextIgnoringCase(r.name, name)) return r.name;
    }
    return {};
}

const char* helpText() {
    return "usage: qzr-writer-cli [OPTIONS] COMMAND [COMMAND ...]\n"
           "\n"
           "Options, applied before the first command whatever their position:\n"
           "  -d, --device NAME      select a device by name (as picking it in the device list; any case)\n"
           "  -c, --config FILE      load a configuration file\n"
           "  -l, --load FILE        load a data file (.bin .mhx .hex .obj .cfg)\n"
           "  -y, --yes              answer every question with Yes / Ignore (without it: No / Abort)\n"
           "  -p, --port PORT        Com1..Com8, a serial device path such as /dev/ttyUSB0, \"virtual\" "
           "(the\n"
           "                         built-in emulated writer) or \"virtual:new-chip\" (the same with a "
           "fresh\n"
           "                         blank chip for every run); without it the port of the configuration\n"
           "                         file stands, else Com1. Up to 8 times: each port is a socket of a "
           "gang,\n"
           "                         every writer operation and run act on all at once, each socket's lines\n"
           "                         start with \"[K] \" (K = 1 for the first -p)\n"
           "      --log FILE         append one CSV line per chip that a writer operation reached\n"
           "                         (production record)\n"
           "      --journal PATH     the production journal (default: qzr-journal.db beside the -c file,\n"
           "                         else in the working folder)\n"
           "      --station NAME     this station's name in the journal (default: the host name)\n"
           "      --reuse-serial     allow a start value inside numbers the journal holds for this lot\n"
           "      --void-failed      a failed chip's number is not used again\n"
           "      --handshake MODE   Default | CTS | None\n"
           "      --show-time        show the step times and the total program time\n"
           "      --json             devices, info and detect as JSON, and one JSON object per chip; "
           "messages\n"
           "                         go to stderr\n"
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
           "  option NAME=VALUE      set one option item as the option editor does (\"OSC Type=XT\")\n"
           "  option-value HH HH HH HH\n"
           "                         set the four option bytes (as \"Option value:\" shows them)\n"
           "  id TEXT                set the ID as text (at most 12 characters)\n"
           "  id-hex HH [HH...]      set the ID as hexadecimal bytes (at most 12)\n"
           "  detect                 open the port and identify the writer\n"
           "  read FILE              read the chip, then save it to FILE (.mhx or .bin)\n"
           "  blank-check | erase | program-id | program | program-options | program-eeprom | verify |\n"
           "  verify-protect | auto | auto-no-blank-check | force-write\n"
           "                         one writer operation\n"
           "  run OPERATION [COUNT]  chip after chip: before each chip wait for Enter (or one line of the\n"
           "                         input; \"q\" or the end of the input ends), run the operation, print\n"
           "                         \"Chip N: PASS|FAIL ...\"; ends after COUNT chips when given; last "
           "line\n"
           "                         \"Chips: N, passed: P, failed: F\"\n"
           "  download NAME[,NAME...]\n"
           "                         device-data download\n"
           "  journal                print the chips of the journal in use as CSV\n"
           "  emulate [LINK] [FAULT...]\n"
           "                         serve the emulated writer on a pseudo-terminal until interrupted; "
           "FAULT:\n"
           "                         no-chip, adapter-error, class1, class2, fail-at=K, silence-after=N,\n"
           "                         wrong-reply=HH, id=TEXT\n"
           "\n"
           "Questions, error boxes and failure lines go to stderr, other messages to stdout.\n"
           "SIGINT or SIGTERM stops the command at its next exchange with the writer.\n"
           "\n"
           "Exit status: 0 every command succeeded; 1 an operation or check failed; 2 bad usage (then no\n"
           "command runs); 3 `run` stopped by a fault of the line (no answer, port, adapter, log); 130\n"
           "interrupted.\n";
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

namespace {

// Everything after the words were read: options applied, commands checked and run.
int runCommands(const Options& options, std::vector<Command>& commands, const Streams& streams,
                Interrupts& interrupts) {
    std::ostream& err = streams.err;
    std::string device;
    if (const std::string problem = checkOptions(options, device); !problem.empty()) {
        err << problem << '\n';
        return kExitUsage;
    }

    MainState st;
    // With --json the standard output carries only the JSON documents.
    std::ostream& text = options.json ? streams.err : streams.out;
    CliUserInterface ui(text, err, options.yes);
    st.ui = &ui;
    st.firstShowDone = true;  // a load from the command line happens after start-up
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui,
                 *st.views);  // start-up without "Default.cfg": the option display and checksums
    Context ctx{st,
                options,
                text,
                err,
                streams.out,
                streams.terminal,
                streams.inputFd,
                streams.inputTerminal,
                &interrupts,
                0,
                {}};

    if (options.device) selectDevice(st, device);
    if (options.config) {
        if (int rc = applyConfigOption(ctx, *options.config); rc != kExitOk) return rc;
    }
    if (options.load) {
        if (int rc = applyLoadOption(ctx, *options.load); rc != kExitOk) return rc;
    }
    if (options.handshake) st.link.handshake = *options.handshake;
    // Without -p the port named by a configuration file (-c, or -l with a .cfg) stands; the state starts
    // at Com1 when none names one.
    if (!options.ports.empty()) {
        st.link.portEntry = options.ports.front();
        st.link.portName = portDisplayName(options.ports.front());
    }
    st.operation.showProgramTime = options.showTime;
    if (options.log) st.operation.productionLogPath = *options.log;
    st.journal.enabled = true;
    st.journal.path = options.journal.value_or("");
    st.journal.station = options.station.value_or("");
    st.journal.reuseSerial = options.reuseSerial;
    st.journal.voidFailed = options.voidFailed;

    // What only the chosen device can tell: a bad one means none runs.
    for (Command& command : commands) {
        if (!command.check) continue;
        if (const std::string problem = command.check(ctx); !problem.empty()) {
            err << problem << '\n';
            return kExitUsage;
        }
    }

    for (Command& command : commands) {
        if (interrupts.interrupted()) break;
        int rc = kExitFailed;
        try {
            rc = command.action(ctx);
        } catch (const std::exception& e) {
            // A failure of the serial component itself (or anything else unforeseen) ends the run.
            err << e.what() << '\n';
            rc = kExitFailed;
        }
        // The serial component's warning about a slow adapter goes to stderr.
        if (const std::string w = takePortWarning(st.link); !w.empty()) err << w << '\n';
        if (interrupts.interrupted()) break;
        if (rc != kExitOk) return rc;
    }
    if (interrupts.interrupted()) {
        err << "Interrupted\n" << std::flush;
        return kExitInterrupted;
    }
    return kExitOk;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
    return run(args, Streams{out, err, terminal});
}

int run(const std::vector<std::string>& args, const Streams& streams) {
    std::ostream& out = streams.out;
    std::ostream& err = streams.err;
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
            std::optional<std::string> port;
            ok = value(port);
            if (ok) options.ports.push_back(*port);
            if (options.ports.size() > kMaxPorts) {
                err << "-p is given more than " << kMaxPorts << " times\n" << kUsage << '\n';
                return kExitUsage;
            }
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
        } else if (a == "--json") {
            options.json = true;
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

    std::vector<CommandSpec> known;
    registerImageCommands(known);
    registerInfoCommands(known);
    registerProjectCommands(known);
    registerSerialCommands(known);
    registerWriterCommands(known);
    registerOperationCommands(known);
    registerReadCommands(known);
    registerEmulateCommands(known);
    registerEditCommands(known);
    registerJournalCommands(known);

    // Every command is parsed before any runs: a bad one means none runs.
    std::vector<Command> commands;
    ArgStream stream(words);
    while (!stream.atEnd()) {
        const std::string name = stream.next();
        auto found =
            std::find_if(known.begin(), known.end(), [&](const CommandSpec& s) { return s.name == name; });
        if (found == known.end()) {
            err << "Unknown command: " << name << '\n' << kUsage << '\n';
            return kExitUsage;
        }
        std::string problem;
        auto command = found->parse(stream, problem);
        if (!command) {
            err << name << ": " << (problem.empty() ? "bad arguments" : problem) << '\n';
            return kExitUsage;
        }
        commands.push_back(std::move(*command));
    }

    // From here on an interrupt stops the command in progress instead of the process, so that the port's
    // settings are restored and the chip is recorded; anything thrown ends the run with its message.
    Interrupts interrupts;
    try {
        return runCommands(options, commands, streams, interrupts);
    } catch (const std::exception& e) {
        err << e.what() << '\n' << std::flush;
    } catch (...) {
        err << "Unexpected error\n" << std::flush;
    }
    return interrupts.interrupted() ? kExitInterrupted : kExitFailed;
}

}  // namespace qzr::cli
