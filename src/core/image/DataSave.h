#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qzr {

struct DeviceFields;
class MemoryImage;
class UserInterface;

// The two formats of "&Save Data Memory", numbered as the save dialog's filters.
enum class DataSaveFormat { hex = 1, binary = 2 };

// The format a file name asks for: a name ending in .mhx (any case) HEX, in .bin binary, nothing else.
std::optional<DataSaveFormat> saveFormatForName(const std::string& fileName);

// The format "&Save Data Memory" writes: a typed .mhx or .bin extension decides, whatever the dialog's
// filter; the filter decides only for other names (so a file is never read back as the other format).
DataSaveFormat chosenSaveFormat(const std::string& fileName, DataSaveFormat filterFormat);

// The content of a saved data file: each program word as a 16-bit value, low byte first; for a device with
// EEPROM, 0xFF up to 81FFH and then each EEPROM byte followed by 0x00.
std::vector<uint8_t> buildOutputImage(const DeviceFields& device, const MemoryImage& memory);

// The output image as HEX records of at most 16 bytes that never cross a 16-byte boundary; 0xFFFF words
// are left out; CR LF line ends; the end record last.
std::string buildHexText(std::span<const uint8_t> outputImage);

// Writes the data memory to `fileName` in the given format, whole or not at all. An empty name or a failed
// write shows "Sorry, file can't be saved!" and returns false. The data-file name and the views stay.
bool SaveProgramMemory(const DeviceFields& device, const MemoryImage& memory, UserInterface& ui,
                       const std::string& fileName, DataSaveFormat format);

}  // namespace qzr
