#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace qzr {

struct MainState;
class MemoryImage;
enum class OperationType : int;

// The kinds of data file, decided by the text after the last "." of the name, in any case.
enum class DataFileKind { cfg, obj, hex, bin, mhx, other };
DataFileKind dataFileKind(const std::string& fileName);

// Size limits of the loader. A .bin or .obj file is never read beyond what the image can hold; a HEX text
// longer than kMaxHexTextBytes is refused.
inline constexpr std::size_t kBinWithEepromBase = 0x8200;

// Loads the data file `fileName` into the image for the selected device: reads it by its kind, translates
// the other maker's words, checks the size (offering to duplicate a half-size program), tests core-type-3
// words for 11 bits and splits every word into the image form. Returns true when the file was taken over;
// on false a message was shown and the image is as it was. The current data-file name is the caller's.
// Switches serial-number mode off. A HEX file whose reading reported an error is taken over (its message
// was shown) and marks the data as damaged (`dataFileDamaged`); any other file taken over clears the mark.
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

// Steps of the loader, for the configuration loader and the tests.
// Converts every word of the program area from the intermediate form (low byte, high byte) to the image
// form (7 + 7 bits, high part masked with highByteMask).
void splitProgramWords(MemoryImage& image, uint8_t highByteMask);

}  // namespace qzr
