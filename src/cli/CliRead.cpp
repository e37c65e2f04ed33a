// Reading a chip and the device-data download: read, download.
#include "cli/Cli.h"

namespace qzr::cli {

void registerReadCommands(std::vector<CommandSpec>&) {}

}  // namespace qzr::cli
