#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "core/common/UserInterface.h"

namespace qzr::cli {

// Options of the command line; applied in a fixed order before the first command.
struct Options {
    std::optional<std::string> device;     // -d
    std::optional<std::string> config;     // -c
    std::optional<std::string> load;       // -l
    bool yes = false;                      // -y
    std::optional<std::string> port;       // -p; without it the port of -c / -l stands, else Com1
    std::optional<std::string> handshake;  // --handshake
    bool showTime = false;                 // --show-time
    std::optional<std::string> log;        // --log: the production record
    // The production journal: --journal, --station, --reuse-serial, --void-failed.
    std::optional<std::string> journal;
    std::optional<std::string> station;
    bool reuseSerial = false;
    bool voidFailed = false;
};

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

// Prints every message and question as one line on stdout; answers questions from --yes.
class CliUserInterface final : public UserInterface {
  public:
    CliUserInterface(std::ostream& out, bool yes) : out_(out), yes_(yes) {}
    void message(const std::string& text) override;
    void error(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    bool askAbortIgnore(const std::string& text) override;

  private:
    std::ostream& out_;
    bool yes_;
};

struct Context {
    MainState& st;
    const Options& options;
    std::ostream& out;
    std::ostream& err;
    bool terminal = false;  // the error stream is a terminal: progress bars
};

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

// A command runs with the context and returns an exit status (0 or 1).
using Action = std::function<int(Context&)>;

// A command's parser takes its arguments from the stream (the name already taken) and returns the action,
// or nullopt with `error` set when the arguments are bad.
struct CommandSpec {
    std::string name;
    std::function<std::optional<Action>(ArgStream&, std::string& error)> parse;
};

// Command groups, each in its own file.
void registerImageCommands(std::vector<CommandSpec>& commands);      // devices, save
void registerInfoCommands(std::vector<CommandSpec>& commands);       // info
void registerProjectCommands(std::vector<CommandSpec>& commands);    // save-config, disasm
void registerSerialCommands(std::vector<CommandSpec>& commands);     // serial, write-qtp, load-qtp
void registerWriterCommands(std::vector<CommandSpec>& commands);     // detect
void registerOperationCommands(std::vector<CommandSpec>& commands);  // writer operations
void registerReadCommands(std::vector<CommandSpec>& commands);       // read, download
void registerEmulateCommands(std::vector<CommandSpec>& commands);    // emulate
void registerJournalCommands(std::vector<CommandSpec>& commands);    // journal

// Applies the -c and -l options (configuration file, data file). Returns kExitOk or kExitUsage.
int applyConfigOption(Context& ctx, const std::string& file);
int applyLoadOption(Context& ctx, const std::string& file);
// After -c or -l (named `option` in the message): kExitUsage, with a line on stderr, when the data file that
// was loaded is damaged (its reading reported an error); otherwise kExitOk.
int refuseDamagedData(Context& ctx, const std::string& option);

// The --help text: options, commands and exit statuses.
const char* helpText();

// Runs the program on the arguments (without the program name). `terminal`: the error stream is a
// terminal (progress bars are drawn).
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal = false);

}  // namespace qzr::cli
