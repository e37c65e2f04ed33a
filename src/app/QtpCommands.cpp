#include "app/QtpCommands.h"

#include <string>

#include "app/MainState.h"

namespace qzr {

QtpWriteResult BtnQtpFileClick(MainState& st, SerialNoFields& fields, const QtpFileChooser& choose) {
    UserInterface& ui = *st.ui;
    long parts = 0;
    {
        const std::string& text = fields.noOfPart;
        bool digits = !text.empty() && text.size() <= 9;
        for (char c : text) digits = digits && c >= '0' && c <= '9';
        if (!digits) {
            ui.message("'" + text + "' is not a valid integer value");
            return QtpWriteResult::Refused;
        }
        parts = std::stol(text);
    }
    if (parts < 1 || parts > kMaxQtpParts) {
        ui.message("\"No. of Parts\" value overflow!");
        return QtpWriteResult::Refused;
    }
    if (!CheckSerialNoSetting(st.serial, fields, st.device, st.image, st.hexTextValid, ui, *st.views))
        return QtpWriteResult::Refused;
    // After writing a file the mode is off whatever it was before.
    st.serial.serialMode = false;
    StoreSerialNoFields(st.serial, fields);
    st.views->refreshSerialIndicators();

    const std::optional<QtpFileChoice> choice = choose();
    if (!choice) return QtpWriteResult::Cancelled;
    if (choice->filterIndex != 2 || choice->path.empty()) {
        ui.message("File can't be saved!");
        return QtpWriteResult::NotWritten;
    }
    const QtpWriteResult result = writeQtpFile(st.serial, choice->path, parts, ui);
    if (result == QtpWriteResult::Written) ShowSerialNo(st.serial, *st.views);
    return result;
}

bool LoadQTPFile1Click(MainState& st, const QtpFileChooser& choose) {
    SerialNumberState& serial = st.serial;
    CloseQtpFile(serial);
    st.views->refreshSerialIndicators();

    const std::optional<QtpFileChoice> choice = choose();
    if (!choice || choice->filterIndex != 2 || choice->path.empty()) return false;

    if (OpenQtpFile(serial, choice->path, st.device, st.image, *st.ui)) {
        serial.serialMode = true;
        SerialNo2Memory(serial, st.options, st.optionBytes, st.device, st.image, *st.views);
        st.views->refreshSerialIndicators();
        st.views->reloadProgramWindow();
        st.views->reloadEepromWindow();
        return true;
    }
    serial.serialMode = false;
    CloseQtpFile(serial);
    st.views->refreshSerialIndicators();
    return false;
}

}  // namespace qzr
