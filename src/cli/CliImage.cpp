// Commands on the device table and the memory image: devices, save; the -l option.
#include <ostream>

#include "app/DataCommands.h"
#include "cli/Cli.h"
#include "cli/CliJson.h"
#include "core/common/FileIo.h"
#include "core/image/DataLoad.h"
#include "core/image/DataSave.h"

namespace qzr::cli {

namespace {

int listDevices(Context& ctx) {
    if (ctx.options.json) ctx.data << '[';
    bool first = true;
    for (const DeviceRecord& r : deviceTable()) {
        const bool eeprom = (r.deviceFlags & kFlagEeprom) != 0;
        const int eepromBytes = eeprom ? r.eepromLastAddress + 1 : 0;
        const char* kind = (r.deviceFlags & kFlagFlash) ? "flash" : "otp";
        if (ctx.options.json) {
            ctx.data << (first ? "\n  " : ",\n  ")
                     << JsonObject()
                            .add("name", r.name)
                            .add("program_words", static_cast<long long>(r.romLastAddress) + 1)
                            .add("eeprom_bytes", eepromBytes)
                            .add("memory", kind)
                            .add("core_type", static_cast<int>(r.coreType))
                            .str();
            first = false;
            continue;
        }
        ctx.out << r.name << ' ' << (r.romLastAddress + 1) << ' ' << eepromBytes << ' ' << kind << ' '
                << r.coreType << '\n';
    }
    if (ctx.options.json) ctx.data << "\n]\n" << std::flush;
    return kExitOk;
}

std::optional<Action> parseSave(ArgStream& args, std::string& error) {
    if (args.atEnd()) {
        error = "a file name is needed";
        return std::nullopt;
    }
    const std::string file = args.next();
    const std::optional<DataSaveFormat> format = saveFormatForName(file);
    if (!format) {
        error = "the file name must end in .mhx or .bin: " + file;
        return std::nullopt;
    }
    return Action([file, format = *format](Context& ctx) {
        return SaveProgramMemory(ctx.st.device, ctx.st.image, *ctx.st.ui, file, format) ? kExitOk
                                                                                        : kExitFailed;
    });
}

}  // namespace

void registerImageCommands(std::vector<CommandSpec>& commands) {
    commands.push_back(
        {"devices", [](ArgStream&, std::string&) -> std::optional<Action> { return listDevices; }});
    commands.push_back({"save", parseSave});
}

int applyLoadOption(Context& ctx, const std::string& file) {
    // A configuration file given to -l is loaded as -c loads it, so that a failed load ends the run with
    // status 2 (the data loader takes a configuration over even when its content is refused).
    if (fileExtension(file) == "CFG") return applyConfigOption(ctx, file);
    if (!FileOpen1Execute(ctx.st, file)) {
        ctx.err << "-l " << file << ": the data file was not loaded\n";
        return kExitUsage;
    }
    return refuseDamagedData(ctx, "-l " + file);
}

}  // namespace qzr::cli
