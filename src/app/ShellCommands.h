#pragma once

#include <optional>
#include <string>

#include "app/SingleInstance.h"

namespace qzr {

struct MainState;
class UserInterface;

// Process start: takes the single-instance lock, or shows "Process is running!" and gives nothing when
// another copy holds it.
std::optional<SingleInstanceGuard> startSingleInstance(UserInterface& ui, const std::string& lockPath);

// The first show of the main window, without the writer: "Default.cfg" of the start-up directory (a failed
// load resets the device), the ID window, the EEPROM window and commands, the program memory view, the
// option display and the flash-only erase command. The writer is checked afterwards (StartupConnection).
void FirstShow(MainState& st);

// The title of the program memory view: the data-file name, or "Program Memory" when there is none.
std::string programWindowTitle(const MainState& st);

// Shut-down: the port is closed (its settings restored), an open QTP file closed and "Default.cfg" written
// whole into the start-up directory. Returns false when the configuration could not be written (the
// message has been shown).
bool FormClose(MainState& st);

}  // namespace qzr
