#include "app/ShellCommands.h"

#include "app/ConfigCommands.h"
#include "app/MainState.h"
#include "core/options/Options.h"
#include "core/serial_number/QtpFile.h"
#include "core/writer/CommLink.h"

namespace qzr {

std::optional<SingleInstanceGuard> startSingleInstance(UserInterface& ui, const std::string& lockPath) {
    auto guard = SingleInstanceGuard::acquire(lockPath);
    if (!guard) ui.message(kProcessRunningMessage);
    return guard;
}

void FirstShow(MainState& st) {
    loadStartupConfig(st, st.startupDirectory);
    st.views->recreateIdWindow();
    st.views->refreshDeviceCommands();
    st.views->recreateEepromWindow(st.device.hasEeprom());
    st.views->recreateProgramWindow();
    st.firstShowDone = true;
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    st.views->refreshSelections();
}

std::string programWindowTitle(const MainState& st) {
    return st.dataFileName.empty() ? "Program Memory" : st.dataFileName;
}

bool FormClose(MainState& st) {
    if (st.link.Comm1) st.link.Comm1->Close();
    CloseQtpFile(st.serial);
    return saveExitConfig(st, st.startupDirectory);
}

}  // namespace qzr
