#include "app/DownloadCommand.h"

#include "app/MainState.h"
#include "core/writer/Download.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {

bool DownLoadClick(MainState& st, const DeviceSelection& selection, DownloadView& view) {
    WriterLink writer(st.link, st.image);
    return DownLoadClick(st, writer, selection, view);
}

bool DownLoadClick(MainState& st, WriterLink& writer, const DeviceSelection& selection, DownloadView& view) {
    return downloadDevices(writer, st.device, *st.ui, *st.views, selection, view);
}

}  // namespace qzr
