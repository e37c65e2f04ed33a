// Writer operations: blank-check, erase, program..., verify, auto, force-write.
#include "cli/Cli.h"

namespace qzr::cli {

void registerOperationCommands(std::vector<CommandSpec>&) {}

}  // namespace qzr::cli
