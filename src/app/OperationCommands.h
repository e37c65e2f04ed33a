#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/operations/OperationState.h"

namespace qzr {

struct MainState;

// The reset-address check before programming: when the program word at the reset address is blank, asks
// "Reset address (HHHHh) is blank!!" with Abort and Ignore. true means go on (Ignore, or a word that is
// not blank).
bool CheckResetAddr(MainState& st);

// Why an operation cannot run on the current device and settings (the window disables its command then);
// empty when it can. Erase needs a flash device, EEPROM programming a device with EEPROM; "Program ID and
// Checksum", "Program Memory" and "Program OPTION" are off in serial-number mode; an auto-program whose
// serial number goes to the EEPROM needs "Program EEPROM in Auto program mode" on (else the chip would be
// counted and the number advanced without the number ever reaching the chip).
std::string operationRefusal(const MainState& st, OperationType type);

// A command handler's part before WriterFunction: refuses what operationRefusal names (shown as an error),
// stores the operation type, asks the reset-address question for Program Memory and both auto-programs,
// and for Force Write switches serial-number mode off first; then prepares the production journal
// (prepareJournal). Returns false when the operation was refused, the user aborted or the journal cannot be
// used (no dialog is opened then).
bool dispatchOperation(MainState& st, OperationType type);

// WriterFunction: makes sure the port is usable (a port whose opening failed, or that was never opened, is
// opened again; when it still fails its message has been shown and nothing more happens), then runs
// `showProgressDialog` (the modal dialog, whose appearance starts the engine), then refreshes the views.
// Returns false when the port was not usable.
bool WriterFunction(MainState& st, const std::function<void()>& showProgressDialog);

// After the progress dialog has closed: the image views reload (serial numbers may have been written into
// the image) and the serial-number, QTP and pass-count indicators show the state the runs left.
void afterOperationDialog(MainState& st);

// The command-line names of the writer operations ("blank-check", "auto", ...).
std::optional<OperationType> operationTypeFromCommand(std::string_view command);
const char* operationCommandName(OperationType type);

}  // namespace qzr
