#pragma once

#include "core/serial_number/SerialNumber.h"

namespace qzr {

struct MainState;

// The buttons of the dialog "Serial No.".

// OK: CheckSerialNoSetting; on success the fields become the state, the number is placed (SerialNo2Memory),
// the single-area commands are disabled and the result is true (the dialog closes). False: the dialog stays.
bool BtnOKClick(MainState& st, SerialNoFields& fields);

// "Disable Serial Mode": mode off, QTP simulation off, the single-area commands enabled again, toolbar
// buttons and menu entries. The dialog stays open.
void BtnDisableClick(MainState& st);

// After the dialog is closed: the program-memory and EEPROM views, if open, reload.
void SerialNoDialogClosed(MainState& st);

}  // namespace qzr
