#include "app/ReadIcCommand.h"

#include "app/MainState.h"
#include "app/PortCommands.h"
#include "app/StateHeader.h"
#include "core/options/Options.h"
#include "core/writer/CommLink.h"
#include "core/writer/WriterProtocol.h"

namespace qzr {

ReadIcJob readIcJob(MainState& st) {
    return ReadIcJob{st.link,           st.image,           st.device,
                     st.deviceListText, st.optionBytes,     st.options.readOptionBytes,
                     st.icReadDone,     headerSettings(st), *st.ui,
                     *st.views};
}

WriterJob::Work readIcWork(ReadIcView& view) {
    return [&view](MainState& st, const std::atomic<bool>& stop) {
        ReadIcTimer timer(st.link.tickClock());
        WriterLink writer(st.link, st.image, &stop);
        ReadIcJob job = readIcJob(st);
        try {
            ReadIcProc(job, writer, view, timer);
        } catch (const ECommError&) {
            timer.stop();
            view.finished();
            throw;
        }
    };
}

bool beginReadIc(MainState& st) {
    if (!PreparePort(st)) return false;
    st.icReadDone = false;
    return true;
}

void endReadIc(MainState& st) {
    if (!st.icReadDone) return;
    st.dataFileDamaged = false;  // the image now holds the chip's data
    st.views->recreateIdWindow();
    st.views->recreateProgramWindow();
    st.views->recreateEepromWindow(st.device.hasEeprom());
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    if (st.disassemblyOpen) {
        st.views->closeDisassembly();
        st.disassemblyOpen = false;
    }
}

}  // namespace qzr
