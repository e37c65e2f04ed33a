// Serial-number commands: serial, write-qtp, load-qtp.
#include "cli/Cli.h"

namespace qzr::cli {

void registerSerialCommands(std::vector<CommandSpec>&) {}

}  // namespace qzr::cli
