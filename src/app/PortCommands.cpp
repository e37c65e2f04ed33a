#include "app/PortCommands.h"

#include "app/MainState.h"
#include "core/writer/PortNames.h"
#include "core/writer/WriterDetect.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {

std::optional<LinkResult> PortChanged(MainState& st, const std::atomic<bool>* stop) {
    LinkState& link = st.link;
    if (link.portError || !link.Comm1 || !samePortEntry(link.portEntry, link.openEntry)) {
        CheckComPort(link, st.device, *st.ui);
        if (link.portError) return std::nullopt;
    }
    WriterLink writer(link, st.image, stop);
    const LinkResult r = writer.CheckWriter(st.device, *st.ui, *st.views);
    if (r == lrStopped) return r;
    if (r == lrClass1Writer || r == lrClass2Writer || r == lrIdWriter) {
        st.ui->message("Connect OK!");
    } else if (r == lrTimeout) {
        st.ui->message("Connect " + link.portName + " Timeout!!");
    } else {
        st.ui->message("Connect Fail!");
    }
    return r;
}

void StartupConnection(MainState& st, const std::atomic<bool>* stop) {
    CheckComPort(st.link, st.device, *st.ui);
    if (st.link.portError) return;
    WriterLink writer(st.link, st.image, stop);
    const LinkResult r = writer.CheckWriter(st.device, *st.ui, *st.views);
    if (r == lrClass1Writer || r == lrClass2Writer || r == lrIdWriter || r == lrStopped) return;
    if (r == lrTimeout) {
        st.ui->message("Connect " + st.link.portName + " Timeout!!");
    } else {
        st.ui->message("Connect Fail!");
    }
}

bool PreparePort(MainState& st) {
    return PreparePort(st.link, st.device, *st.ui);
}

}  // namespace qzr
