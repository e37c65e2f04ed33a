// The info command: the project state as lines.
#include <ostream>

#include "cli/Cli.h"
#include "core/options/IdCode.h"
#include "core/serial_number/SerialNumber.h"

namespace qzr::cli {

namespace {

int showInfo(Context& ctx) {
    const MainState& st = ctx.st;
    const OptionState& o = st.options;
    std::ostream& out = ctx.out;
    out << "Device: " << st.deviceListText << '\n';
    out << "File name: " << st.dataFileName << '\n';
    out << "Memory: " << o.memoryChecksumText << '\n';
    out << o.optionChecksumCaption << ' ' << o.optionChecksumText << '\n';
    out << "After Protect: " << o.protectChecksumText << '\n';
    out << "Option value: " << o.optionValueText << '\n';
    for (std::size_t k = 0; k < o.items.size(); ++k) {
        if (st.device.optionItemSelector[k] == 0) continue;
        out << o.items[k].caption << ' ' << o.items[k].valueText << '\n';
    }
    out << "ID: " << idText(st.image, kIdModeHex) << '\n';
    out << "Checksum in IC: " << idChecksumText(st.device, st.image, kIdModeHex) << '\n';
    out << "Serial No.: " << serialModeLabel(st.serial) << ' ' << serialNumberText(st.serial) << '\n';
    out << "Pass count: " << st.serial.passCountText << '\n';
    out << std::flush;
    return kExitOk;
}

}  // namespace

void registerInfoCommands(std::vector<CommandSpec>& commands) {
    commands.push_back({"info", [](ArgStream&, std::string&) -> std::optional<Action> { return showInfo; }});
}

}  // namespace qzr::cli
