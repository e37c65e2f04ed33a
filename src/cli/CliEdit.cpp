// Editing the project as the option editor and the ID editor do: option, option-value, id, id-hex.
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "app/IdCommands.h"
#include "app/OptionCommands.h"
#include "cli/Cli.h"
#include "core/common/HexText.h"
#include "core/options/OptionEditor.h"

namespace qzr::cli {

namespace {

// The position of `wanted` among `names`: the exact text first, else the only one that differs in case
// alone; -1 when there is none.
int findName(const std::vector<std::string>& names, const std::string& wanted) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == wanted) return static_cast<int>(i);
    int found = -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!sameTextIgnoringCase(names[i], wanted)) continue;
        if (found >= 0) return -1;
        found = static_cast<int>(i);
    }
    return found;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

// Where NAME=VALUE lands in the option editor of the state's device: the item (1..13) and the list
// position, or a usage problem naming what the device has.
struct OptionChoice {
    int item = 0;
    int position = -1;
    std::string problem;
};

OptionChoice findOption(MainState& st, const std::string& name, const std::string& value) {
    // The editor as the dialog shows it, on copies: looking does not change the state.
    std::array<uint8_t, 4> bytes = st.optionBytes;
    bool changed = false;
    OptionState options = st.options;
    SilentUserInterface quiet;
    const OptionEditor editor(bytes, changed, options, st.device, quiet);
    std::vector<std::string> names;
    std::vector<int> items;
    for (int k = 1; k <= 13; ++k) {
        const OptionEditorItem& item = editor.items()[static_cast<std::size_t>(k - 1)];
        if (!item.present) continue;
        names.push_back(optionItemName(item.caption));
        items.push_back(k);
    }
    OptionChoice c;
    const int at = findName(names, name);
    if (at < 0) {
        c.problem = "option: " + st.deviceListText + " has no option \"" + name + "\"" +
                    (names.empty() ? std::string("; it has no options") : "; its options: " + joined(names));
        return c;
    }
    c.item = items[static_cast<std::size_t>(at)];
    const OptionEditorItem& item = editor.items()[static_cast<std::size_t>(c.item - 1)];
    c.position = findName(item.texts, value);
    if (c.position < 0) {
        c.problem = "option: \"" + names[static_cast<std::size_t>(at)] + "\" of " + st.deviceListText +
                    " has no value \"" + value + "\"; its values: " + joined(item.texts);
    }
    return c;
}

std::optional<Command> parseOption(ArgStream& args, std::string& error) {
    const std::string word = args.atEnd() ? std::string() : args.next();
    const auto eq = word.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "usage: option NAME=VALUE (NAME as `info` shows it, such as \"OSC Type=XT\")";
        return std::nullopt;
    }
    const std::string name = word.substr(0, eq), value = word.substr(eq + 1);
    Check check = [name, value](Context& ctx) { return findOption(ctx.st, name, value).problem; };
    Action action = [name, value](Context& ctx) {
        MainState& st = ctx.st;
        const OptionChoice c = findOption(st, name, value);
        if (!c.problem.empty()) {
            ctx.err << c.problem << '\n';
            return kExitUsage;
        }
        // The dialog: shown, one combo box changed, OK; then the main window takes the bytes.
        OptionEditor editor(st.optionBytes, st.optionsChanged, st.options, st.device, *st.ui);
        editor.select(c.item, c.position);
        editor.accept();
        finishOptionEditor(st);
        return kExitOk;
    };
    return Command(action, check);
}

// The hexadecimal bytes of one word: tokens of one or two digits separated by blanks (a word may hold
// several: "2A 55 00 00"). False when the word holds anything else, or nothing.
bool hexBytes(const std::string& word, std::vector<uint8_t>& bytes) {
    std::size_t pos = 0;
    bool any = false;
    while (pos < word.size()) {
        if (word[pos] == ' ') {
            ++pos;
            continue;
        }
        std::size_t end = word.find(' ', pos);
        if (end == std::string::npos) end = word.size();
        const std::string token = word.substr(pos, end - pos);
        if (token.size() > 2 || !std::all_of(token.begin(), token.end(), [](char ch) {
                return std::isxdigit(static_cast<unsigned char>(ch));
            }))
            return false;
        bytes.push_back(static_cast<uint8_t>(std::stoi(token, nullptr, 16)));
        any = true;
        pos = end;
    }
    return any;
}

// Takes the words that are hexadecimal bytes; stops at the first word that is not (the next command).
// `bad` when they hold more than `most` bytes.
std::vector<uint8_t> takeHexBytes(ArgStream& args, std::size_t most, bool& bad) {
    std::vector<uint8_t> bytes;
    bad = false;
    while (!args.atEnd()) {
        std::vector<uint8_t> more;
        if (!hexBytes(args.peek(), more)) break;
        if (bytes.size() + more.size() > most) {
            bad = true;
            break;
        }
        args.next();
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
    return bytes;
}

std::optional<Command> parseOptionValue(ArgStream& args, std::string& error) {
    bool bad = false;
    const std::vector<uint8_t> bytes = takeHexBytes(args, 4, bad);
    if (bad || bytes.size() != 4 ||
        std::any_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b > 0x7F; })) {
        error =
            "usage: option-value HH HH HH HH (four option bytes, 00 to 7F, as \"Option value:\" shows them)";
        return std::nullopt;
    }
    return Command([bytes](Context& ctx) {
        MainState& st = ctx.st;
        // As the option editor's OK leaves them: the bytes, then the main window applies the device's masks.
        std::copy(bytes.begin(), bytes.end(), st.optionBytes.begin());
        st.optionsChanged = true;
        finishOptionEditor(st);
        return kExitOk;
    });
}

constexpr std::size_t kIdBytes = 12;

std::optional<Command> parseId(ArgStream& args, std::string& error) {
    if (args.atEnd() || args.peek().size() > kIdBytes) {
        error = "usage: id TEXT (at most 12 characters)";
        return std::nullopt;
    }
    const std::string text = args.next();
    return Command([text](Context& ctx) {
        applyIdEditorText(ctx.st, text, kIdModeAscii);
        return kExitOk;
    });
}

std::optional<Command> parseIdHex(ArgStream& args, std::string& error) {
    bool bad = false;
    const std::vector<uint8_t> bytes = takeHexBytes(args, kIdBytes, bad);
    if (bad || bytes.empty()) {
        error = "usage: id-hex HH [HH...] (at most 12 bytes)";
        return std::nullopt;
    }
    // The editor's masked text: "XX XX ...", the bytes not given left empty (each counts as F there).
    std::string text;
    for (uint8_t b : bytes) text += (text.empty() ? "" : " ") + hexDigits(b, 2);
    return Command([text](Context& ctx) {
        applyIdEditorText(ctx.st, text, kIdModeHex);
        return kExitOk;
    });
}

}  // namespace

void registerEditCommands(std::vector<CommandSpec>& commands) {
    commands.push_back({"option", parseOption});
    commands.push_back({"option-value", parseOptionValue});
    commands.push_back({"id", parseId});
    commands.push_back({"id-hex", parseIdHex});
}

}  // namespace qzr::cli
