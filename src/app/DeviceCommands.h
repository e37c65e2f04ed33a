#pragma once

#include <string_view>

namespace qzr {

struct MainState;

// Looks the name up in the device table; on a match sets every device field of `st.device` and returns the
// row, otherwise changes nothing and returns -1.
int GetICInfo(MainState& st, std::string_view name);

// Re-derives everything from the device list's text: device fields, options (unless kept), serial-number
// mode off, QTP file closed, pass count "0", ID blank, EEPROM cleared, program memory cleared.
void ResetData(MainState& st);

// The user picks a device in the device list: option bytes 0x7F, ResetData, then "Please add the adaptor"
// when the device needs one. Returns false (and changes nothing) for a name that is not in the table.
bool selectDevice(MainState& st, std::string_view name);

}  // namespace qzr
