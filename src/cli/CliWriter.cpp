// Commands on the writer link: detect.
#include <string>

#include "app/PortCommands.h"
#include "cli/Cli.h"
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
    if (r && !link.writerIdText.empty()) {
        ctx.out << "Writer: " << trimLeft(link.writerIdText) << '\n';
        if (!link.writerVersion.empty()) ctx.out << "Firmware version: " << link.writerVersion << '\n';
    }
    ctx.out << std::flush;
    return (r == lrClass1Writer || r == lrClass2Writer || r == lrIdWriter) ? kExitOk : kExitFailed;
}

}  // namespace

void registerWriterCommands(std::vector<CommandSpec>& commands) {
    commands.push_back(
        {"detect", [](ArgStream&, std::string&) -> std::optional<Action> { return Action(detect); }});
}

}  // namespace qzr::cli
