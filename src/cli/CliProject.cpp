// Commands on project files: configuration and disassembly; the -c option.
#include <ostream>

#include "cli/Cli.h"

namespace qzr::cli {

void registerProjectCommands(std::vector<CommandSpec>&) {}

int applyConfigOption(Context& ctx, const std::string& file) {
    ctx.err << "-c " << file << ": configuration files are not available yet\n";
    return kExitUsage;
}

}  // namespace qzr::cli
