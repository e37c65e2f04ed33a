#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/MainState.h"
#include "core/common/UserInterface.h"

namespace qzr {
class GangRun;
}

namespace qzr::cli {

class Interrupts;

// Options of the command line; applied in a fixed order before the first command.
struct Options {
    std::optional<std::string> device;  // -d
    std::optional<std::string> config;  // -c
    std::optional<std::string> load;    // -l
    bool yes = false;                   // -y
    // -p, in the order given; without one the port of -c / -l stands, else Com1. With more than one, each
    // port is a socket of a gang (socket 1 the first).
    std::vector<std::string> ports;
    std::optional<std::string> handshake;  // --handshake
    bool showTime = false;                 // --show-time
    std::optional<std::string> log;        // --log: the production record
    bool json = false;                     // --json
    // The production journal: --journal, --station, --reuse-serial, --void-failed.
    std::optional<std::string> journal;
    std::optional<std::string> station;
    bool reuseSerial = false;
    bool voidFailed = false;
};

// The most sockets a gang has (-p given this many times at most).
inline constexpr std::size_t kMaxPorts = 8;

// A progress bar on the error stream for the long streams, drawn only on a terminal: redrawn only when
// the shown percentage changes, cleared before any line is printed. Without a terminal it does nothing.
class ProgressBar {
  public:
    ProgressBar(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
    // `done` of `total`; the bar shows the percentage (at most 100).
    void update(long long done, long long total);
    void percent(int value);
    // Removes the bar from the terminal line (before a line is printed, and at the end).
    void clear();

  private:
    std::ostream& err_;
    bool enabled_;
    int shown_ = -1;
};

// Prints every message box as one line: error boxes on the error stream, other messages on `out`.
// Questions go to the error stream as the question followed by the answer taken, which --yes gives.
class CliUserInterface final : public UserInterface {
  public:
    CliUserInterface(std::ostream& out, std::ostream& err, bool yes) : out_(out), err_(err), yes_(yes) {}
    void message(const std::string& text) override;
    void error(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    bool askAbortIgnore(const std::string& text) override;

  private:
    std::ostream& out_;
    std::ostream& err_;
    bool yes_;
};

struct Context {
    MainState& st;
    const Options& options;
    std::ostream& out;  // messages and lines of text (the error stream with --json)
    std::ostream& err;
    std::ostream& data;     // the standard output: with --json the JSON documents go here
    bool terminal = false;  // the error stream is a terminal: progress bars
    int inputFd = -1;       // where `run` reads the operator's lines; -1: no input
    bool inputTerminal = false;
    Interrupts* interrupts = nullptr;
    int chips = 0;  // chips that a writer operation has taken on so far (their numbers)
    // The gang of the -p sockets (several -p), made by the first writer operation; its ports stay open
    // from command to command.
    std::shared_ptr<GangRun> gang;
};

// Several -p: the writer operation (`run`: chip after chip, COUNT chips) on every socket at once.
int runGangOperation(Context& ctx, OperationType type);
int runGangChips(Context& ctx, OperationType type, int count);

// The words of the command line after the options were taken out.
class ArgStream {
  public:
    explicit ArgStream(std::vector<std::string> words) : words_(std::move(words)) {}
    bool atEnd() const { return pos_ >= words_.size(); }
    const std::string& peek() const { return words_[pos_]; }
    std::string next() { return words_[pos_++]; }

  private:
    std::vector<std::string> words_;
    std::size_t pos_ = 0;
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitLineFault = 3;  // `run` stopped by a fault of the line
inline constexpr int kExitInterrupted = 130;

// A command runs with the context and returns an exit status.
using Action = std::function<int(Context&)>;
// What a command can only check once the options are applied (the device is chosen): a usage problem, or
// empty. Every check runs before the first command.
using Check = std::function<std::string(Context&)>;

struct Command {
    Command(Action a, Check c = {}) : action(std::move(a)), check(std::move(c)) {}
    Action action;
    Check check;
};

// A command's parser takes its arguments from the stream (the name already taken) and returns the command,
// or nullopt with `error` set when the arguments are bad.
struct CommandSpec {
    std::string name;
    std::function<std::optional<Command>(ArgStream&, std::string& error)> parse;
};

// Command groups, each in its own file.
void registerImageCommands(std::vector<CommandSpec>& commands);      // devices, save
void registerInfoCommands(std::vector<CommandSpec>& commands);       // info
void registerProjectCommands(std::vector<CommandSpec>& commands);    // save-config, disasm
void registerSerialCommands(std::vector<CommandSpec>& commands);     // serial, write-qtp, load-qtp
void registerWriterCommands(std::vector<CommandSpec>& commands);     // detect
void registerOperationCommands(std::vector<CommandSpec>& commands);  // writer operations, run
void registerReadCommands(std::vector<CommandSpec>& commands);       // read, download
void registerEmulateCommands(std::vector<CommandSpec>& commands);    // emulate
void registerEditCommands(std::vector<CommandSpec>& commands);       // option, option-value, id, id-hex
void registerJournalCommands(std::vector<CommandSpec>& commands);    // journal

// Applies the -c and -l options (configuration file, data file). Returns kExitOk or kExitUsage.
int applyConfigOption(Context& ctx, const std::string& file);
int applyLoadOption(Context& ctx, const std::string& file);
// After -c or -l (named `option` in the message): kExitUsage, with a line on stderr, when the data file that
// was loaded is damaged (its reading reported an error); otherwise kExitOk.
int refuseDamagedData(Context& ctx, const std::string& option);

// The device of the table whose name is `name` without regard to case; empty when there is none.
std::string deviceNamed(const std::string& name);
bool sameTextIgnoringCase(std::string_view a, std::string_view b);
// The name an option item goes by on the command line: its caption as `info` prints it, without the colon.
std::string optionItemName(std::string caption);

// The --help text: options, commands and exit statuses.
const char* helpText();

// Where the program reads and writes.
struct Streams {
    std::ostream& out;
    std::ostream& err;
    bool terminal = false;       // the error stream is a terminal (progress bars are drawn)
    int inputFd = -1;            // the operator's lines for `run`; -1: none (the input has ended)
    bool inputTerminal = false;  // the input is a terminal: `run` prompts on the error stream
};

// Runs the program on the arguments (without the program name); returns the exit status. While it runs,
// SIGINT and SIGTERM stop the command at its next exchange with the writer (status 130).
int run(const std::vector<std::string>& args, const Streams& streams);
// The same without input; `terminal`: the error stream is a terminal.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal = false);

}  // namespace qzr::cli
