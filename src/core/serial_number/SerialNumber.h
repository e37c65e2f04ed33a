#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/common/UserInterface.h"
#include "core/common/ViewHooks.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"
#include "core/options/OptionState.h"
#include "core/serial_number/SerialNumberState.h"

namespace qzr {

// ---------------------------------------------------------------------------------------------------------
// Placing and advancing the number (called by the dialog, the QTP loader and the operation engine).
// ---------------------------------------------------------------------------------------------------------

// Places the current number into the memory image and shows it (serialNoText, refreshSerialIndicators).
// Does nothing while serial-number mode is off (result true).
//   Program memory: word (start + i) keeps its RTWI opcode bits; its low 7 bits and bit 0 of its high half
//   take the byte; the checksums are recomputed.
//   EEPROM: byte (start + i) of the EEPROM area takes the byte; the checksums are not recomputed.
// The byte at position i is serial byte n-1-i ("MSB->LSB") or serial byte i ("LSB->MSB").
// Result false (and nothing written) when the mode is on but the number cannot be placed whole: it would
// lie outside the device's program memory or EEPROM, or one of its program words is not an RTWI word.
// A chip must not be programmed then. The checksums are recomputed from `options`, `optionBytes`, `device`
// and `image` (CalChecksum).
bool SerialNo2Memory(SerialNumberState& serial, OptionState& options,
                     const std::array<uint8_t, 4>& optionBytes, const DeviceFields& device,
                     MemoryImage& image, ViewHooks& views);

// Register bits that feed the pseudo-random register, per byte count n (bit 8k+j = bit j of serial byte k).
inline constexpr uint64_t kSerialTapMasks[kMaxSerialBytes + 1] = {
    0,
    (1ull << 7) | (1ull << 3) | (1ull << 2) | (1ull << 1),
    (1ull << 15) | (1ull << 4) | (1ull << 2) | (1ull << 1),
    (1ull << 23) | (1ull << 3) | (1ull << 2) | (1ull << 0),
    (1ull << 31) | (1ull << 6) | (1ull << 4) | (1ull << 2) | (1ull << 1) | (1ull << 0),
    (1ull << 39) | (1ull << 4) | (1ull << 3) | (1ull << 2),
    (1ull << 47) | (1ull << 6) | (1ull << 4) | (1ull << 3) | (1ull << 1) | (1ull << 0),
    (1ull << 55) | (1ull << 6) | (1ull << 3) | (1ull << 1),
    (1ull << 63) | (1ull << 3) | (1ull << 2) | (1ull << 0),
};

// One step of the pseudo-random register of n bytes (1..8) held packed: bit 8k+j is bit j of serial byte k.
// The new bit is the inverse of the parity of the taps (1 when an even number of them are set); the
// register shifts left by one. Always inlined: callers that step it millions of times stay cheap even in
// unoptimised builds.
[[gnu::always_inline]] inline constexpr uint64_t pseudoRandomStep(uint64_t value, int n) {
    if (n < 1 || n > kMaxSerialBytes) n = n < 1 ? 1 : kMaxSerialBytes;
    uint64_t parity = value & kSerialTapMasks[n];
    parity ^= parity >> 32;
    parity ^= parity >> 16;
    parity ^= parity >> 8;
    parity ^= parity >> 4;
    parity ^= parity >> 2;
    parity ^= parity >> 1;
    const uint64_t mask = n == kMaxSerialBytes ? ~0ull : (1ull << (8 * n)) - 1;
    return ((value << 1) | ((parity & 1) ^ 1)) & mask;
}

// Advances the current number: sequential adds the increment modulo 256^n; pseudo-random shifts the 8n-bit
// register once (inverted feedback from the taps of its length). The display is not touched.
void SerialNoNext(SerialNumberState& serial);

// Bookkeeping after a good auto-program run while serial-number mode is on:
//   QTP file open: ReadSerialData; when it delivered no number the file is used up (or bad): serial mode
//   off, the file closed, QTP simulation off (`qtpSimulation` cleared), indicators refreshed, and the result
//   is false; the engine then shows "QTP programming finished!" and ends the run.
//   no QTP file: SerialNoNext.
// Then (result true) SerialNo2Memory.
bool SerialNoAfterGoodRun(SerialNumberState& serial, bool& qtpSimulation, OptionState& options,
                          const std::array<uint8_t, 4>& optionBytes, const DeviceFields& device,
                          MemoryImage& image, UserInterface& ui, ViewHooks& views);

// The number as "No. (HEX):" shows it: bytes n-1 down to 0, two upper-case digits each, a blank before
// every odd-numbered byte (n = 3: "AA BBCC"; n = 4: " AABB CCDD").
std::string serialNumberText(const SerialNumberState& serial);

// Rebuilds serialNoText from the bytes and asks the views to refresh the serial indicators.
void ShowSerialNo(SerialNumberState& serial, ViewHooks& views);

// The byte count clamped to 1..8 (the state may come from a file).
int serialByteCount(const SerialNumberState& serial);

// The serial-number status label: "Enable" while serial-number mode is on, else "Disable".
std::string serialModeLabel(const SerialNumberState& serial);
// The QTP status label: the file's name while one is open, else "Disable".
std::string qtpFileLabel(const SerialNumberState& serial);

// Whether program word `address` holds an RTWI instruction (0x3100..0x31FF: high half without bit 0 is 0x62).
bool isRtwiWord(const MemoryImage& image, uint32_t address);

// Words of program memory and bytes of EEPROM that a serial number may use on the selected device (0
// EEPROM bytes for a device without data EEPROM).
uint32_t serialProgramCapacity(const DeviceFields& device);
uint32_t serialEepromCapacity(const DeviceFields& device);

// ---------------------------------------------------------------------------------------------------------
// The dialog "Serial No." as core rules: the GUI (and the command line) keep the field texts here, apply
// the typing and leaving rules and call the buttons (app/SerialNumberCommands.h, app/QtpCommands.h).
// ---------------------------------------------------------------------------------------------------------

struct SerialNoFields {
    std::string startAddress;    // "Start Address :" (HEX), at most 4 characters
    std::string noOfByte;        // "No. of Byte :" (1 ~ 8), 1 character
    std::string startValue;      // "Start Value :" (HEX), 2n characters once left
    std::string increment;       // "Increment :" (1~255), at most 3 characters
    std::string noOfPart = "1";  // "No. of Parts :" (DEC), at most 6 characters
    SerialKind mode = SerialKind::Sequential;
    SerialByteOrder byteOrder = SerialByteOrder::MsbFirst;
    SerialTarget target = SerialTarget::ProgramMemory;
};

enum class SerialField { StartAddress, NoOfByte, StartValue, Increment, NoOfPart };

// The dialog's fields from the state (FormCreate).
SerialNoFields FillSerialNoFields(const SerialNumberState& serial);

// The most characters the field takes (StartValue: 2n for the current "No. of Byte", 16 before it is valid).
std::size_t serialFieldMaxLength(const SerialNoFields& fields, SerialField field);
// The text of one field of the dialog.
std::string& fieldText(SerialNoFields& fields, SerialField field);
const std::string& fieldText(const SerialNoFields& fields, SerialField field);

// Whether a typed character is taken by the field (the hexadecimal fields take 0-9, A-F, a-f; "No. of Byte"
// 1-8; the decimal fields 0-9). Lower-case hex letters are taken as upper case.
bool serialFieldAccepts(SerialField field, char c);

// Types `text` over the field's content as the keyboard would: characters the field does not take are
// dropped, lower case becomes upper case, and characters beyond the field's length are dropped (except in
// "Start Value", which takes a pasted value whole; leaving the field trims it).
void TypeSerialField(SerialNoFields& fields, SerialField field, const std::string& text);

// Leaving a field applies its corrections: "Start Address" padded to 4 digits; "No. of Byte" and "Start
// Value" trim and pad "Start Value" to 2n digits (in pseudo-random mode an all-F value becomes all zeros);
// "Increment" and "No. of Parts" become "1" when 0 or less. A field whose text must be read as a number
// and is not one (left empty, say) gives "'<text>' is not a valid integer value"; result false, the field
// keeps its text.
bool LeaveSerialField(SerialNoFields& fields, SerialField field, UserInterface& ui);

// Choosing "Pseudo-random" disables "Increment".
inline bool incrementEnabled(const SerialNoFields& fields) {
    return fields.mode == SerialKind::Sequential;
}

// Validates the fields in order against the device and the program words of `image`, showing the first
// failure's message; serial-number mode on when all pass, off otherwise; the serial indicators are refreshed
// either way. Result: the mode. ("Start Address" is upper-cased and padded, its reading's result flag goes
// to `hexTextValid`; "Increment" emptied when out of range.)
bool CheckSerialNoSetting(SerialNumberState& serial, SerialNoFields& fields, const DeviceFields& device,
                          const MemoryImage& image, bool& hexTextValid, UserInterface& ui, ViewHooks& views);

// Takes the dialog's settings into the state (OK, and the QTP file button before writing).
void StoreSerialNoFields(SerialNumberState& serial, const SerialNoFields& fields);

// Serial-number mode off (a data-file load, device change, data reset or Force Write); the QTP file is
// closed too when `closeQtp`.
void SerialModeOff(SerialNumberState& serial, ViewHooks& views, bool closeQtp);

}  // namespace qzr
