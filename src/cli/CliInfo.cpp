// The info command: the project state as lines.
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliJson.h"
#include "core/options/IdCode.h"
#include "core/serial_number/SerialNumber.h"

namespace qzr::cli {

namespace {

int showInfoJson(Context& ctx) {
    const MainState& st = ctx.st;
    const OptionState& o = st.options;
    std::string items = "[";
    for (std::size_t k = 0; k < o.items.size(); ++k) {
        if (st.device.optionItemSelector[k] == 0) continue;
        if (items.size() > 1) items += ", ";
        items += JsonObject()
                     .add("name", optionItemName(o.items[k].caption))
                     .add("value", o.items[k].valueText)
                     .str();
    }
    items += "]";
    const JsonObject doc = JsonObject()
                               .add("device", st.deviceListText)
                               .add("file_name", st.dataFileName)
                               .add("memory", o.memoryChecksumText)
                               .add("options_checksum_caption", optionItemName(o.optionChecksumCaption))
                               .add("options_checksum", o.optionChecksumText)
                               .add("after_protect", o.protectChecksumText)
                               .add("option_value", o.optionValueText)
                               .addRaw("options", items)
                               .add("id", idText(st.image, kIdModeHex))
                               .add("checksum_in_ic", idChecksumText(st.device, st.image, kIdModeHex))
                               .add("serial_mode", st.serial.serialMode)
                               .add("serial", serialNumberText(st.serial))
                               .add("pass_count", decimalNumber(st.serial.passCountText));
    ctx.data << doc.str() << '\n' << std::flush;
    return kExitOk;
}

int showInfo(Context& ctx) {
    if (ctx.options.json) return showInfoJson(ctx);
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
