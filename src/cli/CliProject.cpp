// Commands on project files: configuration and disassembly; the -c option.
#include <filesystem>
#include <ostream>
#include <system_error>

#include "app/ConfigCommands.h"
#include "cli/Cli.h"
#include "core/disasm/Disassembler.h"

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
    return saveDisassembly(*ctx.st.ui, disassembleProgram(ctx.st.device, ctx.st.image), file) ? kExitOk
                                                                                              : kExitFailed;
}

int saveConfig(Context& ctx, const std::string& file) {
    return writeConfigFile(ctx.st, file) ? kExitOk : kExitFailed;
}

}  // namespace

void registerProjectCommands(std::vector<CommandSpec>& commands) {
    commands.push_back(fileCommand("save-config", saveConfig));
    commands.push_back(fileCommand("disasm", writeDisassembly));
}

int applyConfigOption(Context& ctx, const std::string& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        ctx.err << "-c " << file << ": no such file\n";
        return kExitUsage;
    }
    // The loader has shown why a configuration was refused or its data file not loaded.
    if (!LoadConfigFile(ctx.st, file)) return kExitUsage;
    return refuseDamagedData(ctx, "-c " + file);
}

int refuseDamagedData(Context& ctx, const std::string& option) {
    // A production line never programs a damaged file: its reading's message has been shown, no command runs.
    if (!ctx.st.dataFileDamaged) return kExitOk;
    ctx.err << option << ": the data file " << ctx.st.dataFileName << " is damaged\n";
    return kExitUsage;
}

}  // namespace qzr::cli
