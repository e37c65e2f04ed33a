// Commands on the device table and the memory image: devices, info, save; the -l option.
#include <ostream>

#include "cli/Cli.h"

namespace qzr::cli {

namespace {

int listDevices(Context& ctx) {
    for (const DeviceRecord& r : deviceTable()) {
        const bool eeprom = (r.deviceFlags & kFlagEeprom) != 0;
        ctx.out << r.name << ' ' << (r.romLastAddress + 1) << ' ' << (eeprom ? r.eepromLastAddress + 1 : 0) << ' '
                << ((r.deviceFlags & kFlagFlash) ? "flash" : "otp") << ' ' << r.coreType << '\n';
    }
    return kExitOk;
}

}  // namespace

void registerImageCommands(std::vector<CommandSpec>& commands) {
    commands.push_back({"devices", [](ArgStream&, std::string&) -> std::optional<Action> { return listDevices; }});
}

int applyLoadOption(Context& ctx, const std::string& file) {
    ctx.err << "-l " << file << ": loading data files is not available yet\n";
    return kExitUsage;
}

}  // namespace qzr::cli
