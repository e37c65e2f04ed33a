// Commands on project files: configuration and disassembly; the -c option.
#include <ostream>

#include "cli/Cli.h"
#include "disasm/Disassembler.h"

namespace qzr::cli {

namespace {

// A command that takes one file name.
CommandSpec fileCommand(const std::string& name, std::function<int(Context&, const std::string&)> run) {
    return {name, [name, run](ArgStream& args, std::string& error) -> std::optional<Action> {
                if (args.atEnd()) {
                    error = "needs a file name";
                    return std::nullopt;
                }
                const std::string file = args.next();
                return Action([run, file](Context& ctx) { return run(ctx, file); });
            }};
}

int writeDisassembly(Context& ctx, const std::string& file) {
    return saveDisassembly(ctx.st, disassembleProgram(ctx.st), file) ? kExitOk : kExitFailed;
}

}  // namespace

void registerProjectCommands(std::vector<CommandSpec>& commands) {
    commands.push_back(fileCommand("disasm", writeDisassembly));
}

int applyConfigOption(Context& ctx, const std::string& file) {
    ctx.err << "-c " << file << ": configuration files are not available yet\n";
    return kExitUsage;
}

}  // namespace qzr::cli
