// Commands on the writer link: detect.
#include "cli/Cli.h"

namespace qzr::cli {

void registerWriterCommands(std::vector<CommandSpec>&) {}

}  // namespace qzr::cli
