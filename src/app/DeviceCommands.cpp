#include "app/DeviceCommands.h"

#include <algorithm>
#include <string>

#include "app/BufferCommands.h"
#include "app/MainState.h"
#include "core/options/Options.h"
#include "core/serial_number/PassCounter.h"
#include "core/serial_number/QtpFile.h"

namespace qzr {

int GetICInfo(MainState& st, std::string_view name) {
    return updateDeviceFields(st.device, name);
}

void ResetData(MainState& st) {
    GetICInfo(st, st.deviceListText);
    if (!st.settings.keepOptions) st.optionBytes.fill(0x7F);
    st.serial.serialMode = false;
    CloseQtpFile(st.serial);
    ResetPassCount(st.serial, *st.views);
    const Word blank{0x7F, st.device.highByteMask};
    for (std::size_t n = 0; n < layout::kIdBytes / 2; ++n) st.image.setIdWord(n, blank);
    auto eeprom = st.image.eepromArea();
    std::fill(eeprom.begin(), eeprom.begin() + layout::kEepromClearBytes, 0);
    if (st.firstShowDone) st.views->recreateIdWindow();
    st.views->refreshDeviceCommands();
    st.views->recreateEepromWindow(st.device.hasEeprom());
    ClearBuffer(st);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    st.info.clearAllButCustomer();
}

bool selectDevice(MainState& st, std::string_view name) {
    const auto table = deviceTable();
    if (std::none_of(table.begin(), table.end(), [&](const DeviceRecord& r) { return name == r.name; }))
        return false;
    st.deviceListText = std::string(name);
    st.optionBytes.fill(0x7F);
    ResetData(st);
    if (st.device.needsAdaptor == 1) st.ui->message("Please add the adaptor");
    return true;
}

}  // namespace qzr
