// Commands on the writer link: detect.
#include <string>

#include "app/PortCommands.h"
#include "cli/Cli.h"
#include "cli/CliJson.h"
#include "core/writer/WriterDetect.h"
#include "core/writer/WriterProtocol.h"

namespace qzr::cli {

namespace {

std::string trimLeft(const std::string& s) {
    const auto p = s.find_first_not_of(' ');
    return p == std::string::npos ? std::string() : s.substr(p);
}

int detect(Context& ctx) {
    const auto r = PortChanged(ctx.st);
    const LinkState& link = ctx.st.link;
    const bool connected = r == lrClass1Writer || r == lrClass2Writer || r == lrIdWriter;
    const bool identified = r && !link.writerIdText.empty();
    if (ctx.options.json) {
        // "Connect OK!" and the failures have gone to stderr as messages; the document says the same.
        const char* result = !r ? "port-error" : connected ? "ok" : *r == lrTimeout ? "timeout" : "fail";
        JsonObject doc;
        doc.add("port", link.portEntry).add("result", result);
        doc.add("writer",
                identified ? std::optional<std::string>(trimLeft(link.writerIdText)) : std::nullopt);
        doc.add("firmware_version",
                identified ? std::optional<std::string>(link.writerVersion) : std::nullopt);
        ctx.data << doc.str() << '\n' << std::flush;
        return connected ? kExitOk : kExitFailed;
    }
    if (identified) {
        ctx.out << "Writer: " << trimLeft(link.writerIdText) << '\n';
        if (!link.writerVersion.empty()) ctx.out << "Firmware version: " << link.writerVersion << '\n';
    }
    ctx.out << std::flush;
    return connected ? kExitOk : kExitFailed;
}

}  // namespace

void registerWriterCommands(std::vector<CommandSpec>& commands) {
    commands.push_back(
        {"detect", [](ArgStream&, std::string&) -> std::optional<Action> { return Action(detect); }});
}

}  // namespace qzr::cli
