// The journal command: the chips of the production journal in use as CSV.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/JournalCommands.h"
#include "cli/Cli.h"
#include "cli/CliJson.h"

namespace qzr::cli {

namespace {

// The journal as one JSON array, a chip an object, oldest first.
int printJournalJson(Context& ctx) {
    std::vector<ChipRecord> chips;
    if (const std::string error = journalChips(ctx.st, chips); !error.empty()) {
        ctx.err << error << '\n';
        return kExitFailed;
    }
    std::string doc = "[";
    for (const ChipRecord& c : chips) {
        const ProductionRecord& r = c.record;
        if (doc.size() > 1) doc += ",";
        doc += JsonObject()
                   .add("time", r.time)
                   .add("operation", r.operation)
                   .add("device", r.device)
                   .add("data_file", r.dataFile)
                   .add("memory_checksum", r.memoryChecksum)
                   .add("option_checksum", r.optionChecksum)
                   .add("option_value", r.optionValue)
                   .add("serial", std::optional<std::string>(r.serialNumber))
                   .add("qtp_file", std::optional<std::string>(r.qtpFile))
                   .add("result", outcomeName(c.outcome))
                   .add("failed_step", std::optional<std::string>(r.failure))
                   .add("duration_ms", r.durationMs)
                   .add("pass_count", decimalNumber(r.passCount))
                   .add("writer", r.writer)
                   .add("station", c.station)
                   .add("port", c.port)
                   .add("lot", c.lot)
                   .str();
    }
    ctx.data << doc << "]\n" << std::flush;
    return kExitOk;
}

}  // namespace

void registerJournalCommands(std::vector<CommandSpec>& commands) {
    commands.push_back({"journal", [](ArgStream&, std::string&) -> std::optional<Action> {
                            return Action([](Context& ctx) {
                                if (ctx.options.json) return printJournalJson(ctx);
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
