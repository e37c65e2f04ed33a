#include "core/image/CellEdit.h"

#include <cctype>

#include "core/common/HexText.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"

namespace qzr {

int programGridRows(const DeviceFields& device) {
    return (device.romLastAddress >> 8) * 32 + 33;
}

int eepromGridRows(const DeviceFields& device) {
    return (device.eepromSize > 0 ? device.eepromSize : 0) / kEepromBytesPerRow + 1;
}

std::string programHeaderText(int col) {
    return "+" + hexDigits(static_cast<uint32_t>(col - 1), 1) + "/" +
           hexDigits(static_cast<uint32_t>(col + 7), 1);
}

std::string eepromHeaderText(int col) {
    return "+" + hexDigits(static_cast<uint32_t>(col - 1), 1);
}

std::string programAddressText(int row) {
    return "0x" + hexDigits(static_cast<uint32_t>((row - 1) * kProgramWordsPerRow), 4);
}

std::string eepromAddressText(int row) {
    return "0x" + hexDigits(static_cast<uint32_t>((row - 1) * kEepromBytesPerRow), 2);
}

std::size_t programWordAt(int row, int col) {
    return static_cast<std::size_t>((row - 1) * kProgramWordsPerRow + (col - 1));
}

std::size_t eepromIndexAt(int row, int col) {
    return static_cast<std::size_t>((row - 1) * kEepromBytesPerRow + (col - 1));
}

std::string programCellText(const MemoryImage& image, std::size_t word) {
    const Word w = image.programWord(word);
    return hexDigits(w.high * 128u + (w.low & 0x7Fu), 4);
}

std::string eepromCellText(const MemoryImage& image, std::size_t index) {
    return hexDigits(image.eepromByte(index), 2);
}

std::optional<uint32_t> wordEditorAccept(std::string_view text, int coreType) {
    // The field holds at most 4 digits; a longer text would wrap in the reader and pass as a small value.
    if (text.size() > 4) return std::nullopt;
    std::string digits(4 - text.size(), '0');
    for (char c : text) digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const HexParse v = parseHex(digits);
    if (!v.valid) return std::nullopt;
    if (v.value > 0x3FFF || (coreType == 3 && v.value >= 0x800)) return std::nullopt;
    return v.value;
}

uint32_t wordEditorCancel(std::string_view initialText) {
    return parseHex(initialText).value;
}

}  // namespace qzr
