// Writer operations, Read IC and the device-data download.
#include "cli/Cli.h"

namespace qzr::cli {

void registerOperationCommands(std::vector<CommandSpec>&) {}

}  // namespace qzr::cli
