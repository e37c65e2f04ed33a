#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qzr {

// How the serial number advances after each good chip ("Serial No. Mode").
enum class SerialKind : int {
    Sequential = 0,    // "Sequential": plus the increment
    PseudoRandom = 1,  // "Pseudo-random": one step of the shift register
};

// Which serial byte goes to the start address ("MSB or LSB First").
enum class SerialByteOrder : int {
    MsbFirst = 0,  // "MSB->LSB"
    LsbFirst = 1,  // "LSB->MSB"
};

// Where the serial number is placed ("Program to").
enum class SerialTarget : int {
    ProgramMemory = 0,  // "Program memory": the literal bytes of RTWI words
    Eeprom = 1,         // "EEPROM"
};

inline constexpr int kMaxSerialBytes = 8;

// Serial-number mode, the open QTP file and the pass counter. Plain data: every rule that uses it lives
// in SerialNumber.h, QtpFile.h and PassCounter.h.
struct SerialNumberState {
    // --- serial-number settings (dialog "Serial No.", saved in the configuration file) ---
    bool serialMode = false;    // numbers are placed and advanced
    uint32_t startAddress = 0;  // word address in program memory, or byte address in the EEPROM area
    int wordCount = 1;          // bytes in the number, 1..8
    // The current number; entry 0 is the least significant byte.
    std::array<uint8_t, kMaxSerialBytes> number{};
    uint32_t increment = 1;  // step of sequential mode, 1..255
    SerialKind mode = SerialKind::Sequential;
    SerialByteOrder byteOrder = SerialByteOrder::MsbFirst;
    SerialTarget target = SerialTarget::ProgramMemory;

    // The number as the main window shows it ("No. (HEX):"); rebuilt by ShowSerialNo.
    std::string serialNoText = "00";

    // --- the open QTP file ---
    // Set when a record has been read whole; cleared when the file is closed. While it is clear the
    // file counts as closed whatever the fields below hold.
    bool qtpFileOpen = false;
    // Result of the last ReadSerialData: set when it delivered no number.
    bool qtpNoNumber = false;
    // What the QTP status label shows in place of "Disable" while the file is open.
    std::string qtpFileLabel;
    // The path the file was opened by (the production record names it).
    std::string qtpFilePath;
    // The file's content, read once when it was opened, and the offset of the next record.
    std::string qtpContent;
    std::size_t qtpReadOffset = 0;

    // --- pass counter ---
    // The count of good auto-program runs as the main window shows it: decimal digits.
    std::string passCountText = "0";
};

}  // namespace qzr
