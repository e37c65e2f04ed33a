// The info command: the project state as lines.
#include "cli/Cli.h"

namespace qzr::cli {

void registerInfoCommands(std::vector<CommandSpec>&) {}

}  // namespace qzr::cli
