#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "core/common/UserInterface.h"
#include "core/common/ViewHooks.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"
#include "core/serial_number/SerialNumber.h"
#include "core/serial_number/SerialNumberState.h"

namespace qzr {

// QTP files: one Intel HEX style data record per chip, each carrying the serial number and where it goes.
//
//   :CCAAAA00 (KK MM)xn SS CR LF     CC = 2n, AAAA = word address (program memory) or 0x4200 + byte address
//                                    (EEPROM), KK = serial byte, MM = 0x31 (the RTWI opcode byte) or 0x00,
//                                    SS = two's complement of the byte sum
//   :00000001FF                      the end record, written without a line end
//
// How the operation engine uses an open file (all from its worker thread, while the progress dialog blocks
// the main window; ReadSerialData may show a message through the user interface it is given):
//   before every auto-program run with serialMode on, program-memory target: the RTWI pre-check, then
//   SerialNo2Memory (a false result: do not program the chip);
//   after each good auto-program run with serialMode on: SerialNoAfterGoodRun (SerialNumber.h), or by hand:
//       if (serial.qtpFileOpen) {
//           ReadSerialData(serial, device, ui);
//           if (serial.qtpNoNumber) { EndQtpProgramming(...); show "QTP programming finished!"; stop; }
//       } else {
//           SerialNoNext(serial);
//       }
//       SerialNo2Memory(...);
// A record that is damaged (data or checksum error, too many bytes, aimed outside the device's memory)
// shows its message and leaves qtpNoNumber set, so QTP programming ends instead of programming a number
// that was not read whole; the serial-number state keeps the last good number.

// Files larger than this are refused when opened ("File Information Error!").
inline constexpr std::size_t kMaxQtpFileBytes = 64u << 20;

// The most parts one file may be written for ("No. of Parts").
inline constexpr long kMaxQtpParts = 100000;

// The data record for the current number with its line end.
std::string qtpRecord(const SerialNumberState& serial);
// The end record.
inline constexpr const char* kQtpEndRecord = ":00000001FF";

// Appends the data record for the current number to `out` and advances the number (SerialNoNext).
void QTP_File(SerialNumberState& serial, std::string& out);

// The whole content of a file for `parts` parts from the current number: `parts` records, then the end
// record. The number is left at the value after the last record.
std::string buildQtpFile(SerialNumberState& serial, long parts);

// A file chosen in an open or save dialog: its path and the filter entry that was selected (1 "Config
// files (*.cfg)", 2 "QTP files (*.txt)").
struct QtpFileChoice {
    std::string path;
    int filterIndex = 2;
};
// Shows the dialog; nullopt when the user cancelled.
using QtpFileChooser = std::function<std::optional<QtpFileChoice>()>;

enum class QtpWriteResult {
    Written,     // the file was written; the dialog closes
    Refused,     // a field was refused (its message shown)
    Cancelled,   // the save dialog was cancelled
    NotWritten,  // the QTP filter was not chosen, the user kept an existing file, or the write failed
};

// Writes the file for `parts` parts from the current number to the chosen path, whole (a temporary file in
// the same folder, then renamed). A name without "." gets ".txt"; an existing file is replaced only after
// "File Exists, Replace?" is answered Yes; a failed write shows "File can't be saved!". When written
// (result Written) the number is left at the value after the last record; otherwise it is unchanged.
QtpWriteResult writeQtpFile(SerialNumberState& serial, const std::string& chosenPath, long parts,
                            UserInterface& ui);

// Reads the next record of the open file into the serial-number state; a record aimed outside the device's
// program memory or EEPROM is refused. qtpNoNumber is set when no number was read (the end record, or an
// error, whose message has been shown); otherwise it is clear and qtpFileOpen is set.
void ReadSerialData(SerialNumberState& serial, const DeviceFields& device, UserInterface& ui);

// Closes an open file, opens the one at `path` (at most kMaxQtpFileBytes) and reads its first record; for a
// program-memory number every word it goes to must hold RTWI in `image`. A file that cannot be read shows
// "Can't load file!" (not a regular file) or "File Information Error!"; words that are not RTWI show "The
// program memory is not 'RTWI'". Result: whether the file is open with a number (qtpFileOpen).
bool OpenQtpFile(SerialNumberState& serial, const std::string& path, const DeviceFields& device,
                 const MemoryImage& image, UserInterface& ui);

// Closes the open file (qtpFileOpen cleared, its label back to "Disable").
void CloseQtpFile(SerialNumberState& serial);

// The file is used up: serial-number mode off, the file closed, QTP simulation off (`qtpSimulation`
// cleared), indicators refreshed.
void EndQtpProgramming(SerialNumberState& serial, bool& qtpSimulation, ViewHooks& views);

}  // namespace qzr
