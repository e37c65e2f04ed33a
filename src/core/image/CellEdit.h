#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qzr {

class MemoryImage;
struct DeviceFields;

// The grids of the program memory view and the EEPROM view. Row 0 is the header row and column 0 the address
// column; the cells start at row 1, column 1.
inline constexpr int kProgramGridColumns = 9;  // address + 8 words
inline constexpr int kEepromGridColumns = 17;  // address + 16 bytes
inline constexpr int kProgramWordsPerRow = 8;
inline constexpr int kEepromBytesPerRow = 16;

// Rows of the program grid, header row included: (high byte of romLastAddress) * 32 + 33.
int programGridRows(const DeviceFields& device);
// Rows of the EEPROM grid, header row included: eepromSize / 16 + 1.
int eepromGridRows(const DeviceFields& device);

// Header texts over the cell columns (col >= 1): "+0/8" .. "+7/F" and "+0" .. "+F".
std::string programHeaderText(int col);
std::string eepromHeaderText(int col);
// Address column texts (row >= 1): "0x" + first word address in 4 digits, first EEPROM address in 2 digits.
std::string programAddressText(int row);
std::string eepromAddressText(int row);

// The word or byte under a cell (row >= 1, col >= 1).
std::size_t programWordAt(int row, int col);
std::size_t eepromIndexAt(int row, int col);

// Cell texts: a program word as 4 upper-case hex digits of second byte * 128 + (first byte & 0x7F); an EEPROM
// byte as 2 digits.
std::string programCellText(const MemoryImage& image, std::size_t word);
std::string eepromCellText(const MemoryImage& image, std::size_t index);

// The word editor's OK: the text upper-cased and padded with "0" to 4 characters, read as hexadecimal. No
// value (the editor shows "Invalid Value,too large!" and keeps itself open) when it is above 3FFFH, or 800H
// or more on core type 3, or when the text is not a hexadecimal number of at most 4 digits.
std::optional<uint32_t> wordEditorAccept(std::string_view text, int coreType);
inline constexpr const char* kWordEditorTooLarge = "Invalid Value,too large!";
// The word editor's Cancel: the value of the text it was opened with.
uint32_t wordEditorCancel(std::string_view initialText);

}  // namespace qzr
