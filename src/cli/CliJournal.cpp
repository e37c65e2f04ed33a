// The journal command: the chips of the production journal in use as CSV.
#include <ostream>

#include "app/JournalCommands.h"
#include "cli/Cli.h"

namespace qzr::cli {

void registerJournalCommands(std::vector<CommandSpec>& commands) {
    commands.push_back({"journal", [](ArgStream&, std::string&) -> std::optional<Action> {
                            return Action([](Context& ctx) {
                                std::string csv;
                                if (const std::string error = journalCsv(ctx.st, csv); !error.empty()) {
                                    ctx.err << error << '\n';
                                    return kExitFailed;
                                }
                                ctx.out << csv << std::flush;
                                return kExitOk;
                            });
                        }});
}

}  // namespace qzr::cli
