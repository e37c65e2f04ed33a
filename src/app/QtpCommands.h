#pragma once

#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"

namespace qzr {

struct MainState;

// The dialog's "QTP File" button: checks "No. of Parts" and the settings, switches serial-number mode off,
// takes the fields into the state, asks for the file name and writes the file whole (writeQtpFile).
QtpWriteResult BtnQtpFileClick(MainState& st, SerialNoFields& fields, const QtpFileChooser& choose);

// Edit > "Load QTP File": closes an open file, opens the chosen one (QTP filter only), reads its first
// record, checks the RTWI words and switches serial-number mode on (and places the number) when it holds a
// number. Result: whether a number was taken.
bool LoadQTPFile1Click(MainState& st, const QtpFileChooser& choose);

}  // namespace qzr
