#include "app/SerialNumberCommands.h"

#include "app/JournalCommands.h"
#include "app/MainState.h"

namespace qzr {

bool BtnOKClick(MainState& st, SerialNoFields& fields) {
    if (!CheckSerialNoSetting(st.serial, fields, st.device, st.image, st.hexTextValid, *st.ui, *st.views))
        return false;
    StoreSerialNoFields(st.serial, fields);
    SerialNo2Memory(st.serial, st.options, st.optionBytes, st.device, st.image, *st.views);
    startValueSet(st);  // the production journal may hold the number already
    st.views->enableSingleAreaCommands(false, true);
    st.views->refreshSerialIndicators();
    return true;
}

void BtnDisableClick(MainState& st) {
    st.serial.serialMode = false;
    st.operation.qtpSimulation = false;
    // The menu entries come back with their buttons (left disabled they stayed so for the rest of the run).
    st.views->enableSingleAreaCommands(true, true);
    st.views->refreshSerialIndicators();
}

void SerialNoDialogClosed(MainState& st) {
    st.views->reloadProgramWindow();
    st.views->reloadEepromWindow();
}

}  // namespace qzr
