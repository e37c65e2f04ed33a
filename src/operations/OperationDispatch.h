#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "operations/OperationState.h"

namespace qzr {

struct MainState;

// The reset-address check before programming: when the program word at the reset address is blank, asks
// "Reset address (HHHHh) is blank!!" with Abort and Ignore. true means go on (Ignore, or a word that is
// not blank).
bool CheckResetAddr(MainState& st);

// A command handler's part before WriterFunction: stores the operation type, asks the reset-address
// question for Program Memory and both auto-programs, and for Force Write switches serial-number mode off
// first. Returns false when the user aborted (no dialog is opened then).
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
