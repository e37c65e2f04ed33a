#pragma once

#include <optional>
#include <string>

namespace qzr {

struct MainState;
enum class OperationType : int;

// Loads the data file `fileName` for the selected device (see loadDataFile). Returns true when the file was
// taken over; on false a message was shown and the image is as it was. The current data-file name is the
// caller's. Switches serial-number mode off once the file was read. A HEX file whose reading reported an
// error is taken over (its message was shown) and marks the data as damaged (`dataFileDamaged`); any other
// file taken over clears the mark. A configuration file goes to the configuration loader (a configuration's
// own data file is never itself a configuration).
bool LoadProgramMemory(MainState& st, const std::string& fileName);

// The views rebuilt after data were loaded or read from a chip: the ID window, the program memory view, the
// EEPROM view (for a device with EEPROM) and the option display.
void UpdateScreen(MainState& st);

// "&Load Data" after the open dialog: `chosenFile` is the chosen name, nullopt when the dialog was
// cancelled. Returns true when a file was chosen and loaded.
bool FileOpen1Execute(MainState& st, const std::optional<std::string>& chosenFile);

// The note the main window shows (title or status bar) while the data came from a damaged file; empty
// otherwise.
inline constexpr const char* kDamagedDataNote = "Data from a damaged file";
std::string damagedDataNote(const MainState& st);

// The question asked before a chip is programmed with data from a damaged file.
inline constexpr const char* kDamagedDataQuestion = "The loaded data file is damaged. Program it anyway ?";

// Front ends call this before they start operation `type`. For an operation that writes the image's data
// to the chip (program ID, program memory, program EEPROM, the auto-programs, force write) while the data
// came from a damaged file, it asks kDamagedDataQuestion once per load: Yes is remembered until the next
// load, No refuses this time (and asks again next time). Returns true when the operation may start.
bool confirmDamagedData(MainState& st, OperationType type);

}  // namespace qzr
