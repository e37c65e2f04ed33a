#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "core/device/DeviceCatalogue.h"

namespace qzr {

class MemoryImage;

// Bytes of the writer's vocabulary.
namespace wb {
// What the program sends on its own.
inline constexpr uint8_t kProbe = 0xA0;
inline constexpr uint8_t kIdRequest = 0xAD;
inline constexpr uint8_t kHeaderStart = 0xA1;
inline constexpr uint8_t kDownloadStart = 0xA9;
// Command bytes of a header (its byte 9).
inline constexpr uint8_t kRead = 0xA5;
inline constexpr uint8_t kProgram = 0xA6;
inline constexpr uint8_t kProgramPulse = 0xA7;
inline constexpr uint8_t kErase = 0xA8;
// Set in the command byte: more exchanges of the same sequence follow.
inline constexpr uint8_t kContinuationBit = 0x40;
// Data bytes are 7-bit; a byte with this bit set is an answer (it ends a stream).
inline constexpr uint8_t kAnswerBit = 0x80;
// The writer's answers.
inline constexpr uint8_t kProgramDone = 0xB0;
inline constexpr uint8_t kProgramFail = 0xB1;
inline constexpr uint8_t kClass1 = 0xB2;
inline constexpr uint8_t kClass2 = 0xB3;
inline constexpr uint8_t kIdentifying = 0xB4;
inline constexpr uint8_t kReady = 0xB5;
inline constexpr uint8_t kDone = 0xB8;
inline constexpr uint8_t kAdapterError = 0xFD;
inline constexpr uint8_t kNoChip = 0xFE;
}  // namespace wb

// Set in the mode byte (byte 8): the writer skips its check of the chip (bypass, EEPROM reads, and the
// oscillator rule of the reads).
inline constexpr uint8_t kModeSkipIcCheck = 0x80;
// Set in the algorithm byte (byte 6) of an EEPROM exchange.
inline constexpr uint8_t kAlgorithmEeprom = 0x80;

// The 10 bytes that open every exchange with the writer, by name.
struct WriterHeader {
    static constexpr std::size_t kBytes = 10;

    uint8_t start = wb::kHeaderStart;  // byte 0: the header's start byte
    uint16_t address = 0;              // bytes 1 (low) and 2 (high): the first word; always 0
    uint16_t lastIndex = 0;  // bytes 3 (low) and 4 (high): the last word (EEPROM: byte) of the exchange
    uint8_t area = 0;        // byte 5: HeaderArea
    uint8_t algorithm = 0;   // byte 6: the device's algorithm code
    uint8_t timing = 0;      // byte 7: pulse width / timing
    uint8_t mode = 0;        // byte 8: the device's mode bits
    uint8_t command = 0;     // byte 9: command byte, with the continuation bit

    bool continuation() const { return (command & wb::kContinuationBit) != 0; }
    void setContinuation(bool more) {
        command = more ? static_cast<uint8_t>(command | wb::kContinuationBit)
                       : static_cast<uint8_t>(command & ~wb::kContinuationBit);
    }

    std::array<uint8_t, kBytes> encode() const;
    static WriterHeader decode(std::span<const uint8_t> bytes);  // the first 10 bytes (missing ones 0)

    friend bool operator==(const WriterHeader&, const WriterHeader&) = default;
};

// What the header takes besides the device and its option bytes.
struct HeaderSettings {
    bool bypassIcCheck = false;
    // The engineering panel's widths, used while the panel is shown: the write pulse in units of 0.2 ms,
    // the erase pulse in units of 0.1 ms.
    bool panelShown = false;
    int pulseWidth = 0;
    int eraseWidth = 0;
};

// The header of an exchange of `kind` (HeaderKind) on `area` (HeaderArea) for the device, without the
// continuation bit.
WriterHeader buildWriterHeader(const DeviceFields& device, const std::array<uint8_t, 4>& optionBytes,
                               const HeaderSettings& settings, uint8_t area, uint8_t kind);

// The header in the image's command header area (sent from there), and back.
void putHeader(MemoryImage& image, const WriterHeader& header);
WriterHeader headerInImage(MemoryImage& image);

// Copies the program words into the transfer area (core type 3: high bytes ORed with 0x70).
void GetRomData(const DeviceFields& device, MemoryImage& image);

}  // namespace qzr
