// The emulated writer on a pseudo-terminal: emulate [LINK] [FAULT...].
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "core/writer/PtyWriter.h"

namespace qzr::cli {

namespace {

// Where a signal handler wakes the server.
volatile sig_atomic_t gWakeFd = -1;

extern "C" void wakeServer(int) {
    const int fd = gWakeFd;
    const char b = 1;
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(fd, &b, 1);
    }
}

// While it lives, SIGINT, SIGTERM and SIGHUP wake the server instead of ending the process.
class InterruptWakes {
  public:
    explicit InterruptWakes(int wakeFd) {
        struct sigaction sa {};
        sa.sa_handler = wakeServer;
        sigemptyset(&sa.sa_mask);
        gWakeFd = wakeFd;
        for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &sa, &old_[i]);
    }
    ~InterruptWakes() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &old_[i], nullptr);
        gWakeFd = -1;
    }
    InterruptWakes(const InterruptWakes&) = delete;
    InterruptWakes& operator=(const InterruptWakes&) = delete;

  private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> old_{};
};

// The settings of the box that the command's words give.
struct BoxSetup {
    WriterBox::Faults faults;
    WriterBox::Kind kind = WriterBox::Kind::Identifying;
    std::string idText;  // empty: the box's own
};

bool parseNumber(const std::string& text, int base, int limit, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || v < 0 || v > limit) return false;
    value = static_cast<int>(v);
    return true;
}

// One fault word; false when the word is none.
bool applyFaultWord(const std::string& word, BoxSetup& setup, std::string& error) {
    const auto eq = word.find('=');
    const std::string key = word.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : word.substr(eq + 1);
    const bool hasValue = eq != std::string::npos;
    auto bad = [&](const char* what) {
        error = std::string("bad value in ") + word + " (" + what + ")";
        return true;
    };
    if (!hasValue) {
        if (key == "no-chip") return setup.faults.noChip = true, true;
        if (key == "adapter-error") return setup.faults.adapterError = true, true;
        if (key == "class1") return setup.kind = WriterBox::Kind::Class1, true;
        if (key == "class2") return setup.kind = WriterBox::Kind::Class2, true;
        return false;
    }
    if (key == "fail-at") {
        if (!parseNumber(value, 10, 1 << 20, setup.faults.failAtByte)) return bad("a decimal byte index");
        return true;
    }
    if (key == "silence-after") {
        if (!parseNumber(value, 10, 1 << 24, setup.faults.silenceAfter)) return bad("a decimal byte count");
        return true;
    }
    if (key == "wrong-reply") {
        if (!parseNumber(value, 16, 255, setup.faults.wrongReply)) return bad("a hexadecimal byte");
        return true;
    }
    if (key == "id") {
        setup.idText = value;
        return true;
    }
    return false;
}

bool isFaultWord(const std::string& word) {
    BoxSetup scratch;
    std::string error;
    return applyFaultWord(word, scratch, error);
}

int emulate(Context& ctx, const std::string& link, const BoxSetup& setup) {
    PtyWriter server;
    std::string error;
    if (!server.open(error)) {
        ctx.err << "Cannot make a pseudo-terminal: " << error << '\n';
        return kExitFailed;
    }
    // From here on an interrupt ends the serving (and the link is removed), whenever it comes.
    InterruptWakes interrupts(server.wakeFd());
    server.withBox([&](WriterBox& box) {
        box.insertChipFor(ctx.st.device);
        box.setKind(setup.kind);
        if (!setup.idText.empty()) box.setIdText(setup.idText);
        box.setFaults(setup.faults);
    });
    if (!link.empty()) {
        // A link left behind by an earlier run is replaced; anything else at that name is kept.
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                ctx.err << "Not replaced (not a symbolic link): " << link << '\n';
                return kExitFailed;
            }
            ::unlink(link.c_str());
        }
        if (::symlink(server.devicePath().c_str(), link.c_str()) != 0) {
            ctx.err << "Cannot make the link " << link << ": " << std::strerror(errno) << '\n';
            return kExitFailed;
        }
    }
    ctx.out << server.devicePath() << '\n' << std::flush;

    const bool ok = server.serve();
    const int serveError = errno;

    if (!link.empty()) {
        // Removed only while it still points at this run's device.
        char target[256] = {};
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && server.devicePath() == std::string(target, static_cast<std::size_t>(n)))
            ::unlink(link.c_str());
    }
    if (!ok) {
        ctx.err << "The pseudo-terminal failed: " << std::strerror(serveError) << '\n';
        return kExitFailed;
    }
    return kExitOk;
}

std::optional<Action> parseEmulate(ArgStream& args, std::string& error) {
    // It serves until interrupted, so it takes every word that follows.
    std::string link;
    BoxSetup setup;
    if (!args.atEnd() && !isFaultWord(args.peek())) link = args.next();
    while (!args.atEnd()) {
        const std::string word = args.next();
        if (!applyFaultWord(word, setup, error)) {
            error = "unknown fault: " + word +
                    " (known: no-chip, adapter-error, class1, class2, fail-at=K, silence-after=N, "
                    "wrong-reply=HH, id=TEXT)";
            return std::nullopt;
        }
        if (!error.empty()) return std::nullopt;
    }
    return Action([link, setup](Context& ctx) { return emulate(ctx, link, setup); });
}

}  // namespace

void registerEmulateCommands(std::vector<CommandSpec>& commands) {
    commands.push_back({"emulate", parseEmulate});
}

}  // namespace qzr::cli
