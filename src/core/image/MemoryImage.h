#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qzr {

// The one buffer that holds everything written to or read from a chip, at fixed offsets.
namespace layout {
inline constexpr std::size_t kImageSize = 66640;
inline constexpr std::size_t kIdOffset = 0;  // 16 words
inline constexpr std::size_t kIdBytes = 32;
inline constexpr std::size_t kAuxOffset = 32;  // 8 auxiliary words stored by Read IC
inline constexpr std::size_t kAuxBytes = 16;
inline constexpr std::size_t kProgramOffset = 48;  // 16,384 words
inline constexpr std::size_t kProgramBytes = 32768;
inline constexpr std::size_t kProgramWords = 16384;
inline constexpr std::size_t kHeaderOffset = 32816;  // command header (10 bytes, 32 for a download record)
inline constexpr std::size_t kHeaderBytes = 32;
inline constexpr std::size_t kTransferOffset = 32848;
inline constexpr std::size_t kTransferBytes = 32768;
inline constexpr std::size_t kEepromOffset = 65616;
inline constexpr std::size_t kEepromBytes = 1024;
// Clear and load operations on the EEPROM area touch only this many bytes, which covers every device.
inline constexpr std::size_t kEepromClearBytes = 598;
}  // namespace layout

// A chip word held as two bytes: bits 0-6, then bits 7-13 (masked with highByteMask).
struct Word {
    uint8_t low = 0x7F;
    uint8_t high = 0x7F;
    friend bool operator==(const Word&, const Word&) = default;
};

inline constexpr uint16_t wordValue(Word w) {
    return static_cast<uint16_t>(w.low + 128u * w.high);
}
inline constexpr Word splitWord(uint32_t value) {
    return Word{static_cast<uint8_t>(value & 0x7F), static_cast<uint8_t>((value >> 7) & 0x7F)};
}
inline constexpr bool isBlankWord(Word w, uint8_t highByteMask) {
    return w.low == 0x7F && (w.high & highByteMask) == highByteMask;
}

// The memory image. Named accessors refuse addresses outside their region (reads give a blank word or 0,
// writes are dropped and report false).
class MemoryImage {
  public:
    MemoryImage() { bytes_.fill(0); }

    std::span<uint8_t> all() { return bytes_; }
    std::span<const uint8_t> all() const { return bytes_; }

    std::span<uint8_t> idArea() { return region(layout::kIdOffset, layout::kIdBytes); }
    std::span<uint8_t> auxArea() { return region(layout::kAuxOffset, layout::kAuxBytes); }
    std::span<uint8_t> programArea() { return region(layout::kProgramOffset, layout::kProgramBytes); }
    std::span<uint8_t> headerArea() { return region(layout::kHeaderOffset, layout::kHeaderBytes); }
    std::span<uint8_t> transferArea() { return region(layout::kTransferOffset, layout::kTransferBytes); }
    std::span<uint8_t> eepromArea() { return region(layout::kEepromOffset, layout::kEepromBytes); }
    std::span<const uint8_t> idArea() const { return region(layout::kIdOffset, layout::kIdBytes); }
    std::span<const uint8_t> auxArea() const { return region(layout::kAuxOffset, layout::kAuxBytes); }
    std::span<const uint8_t> programArea() const {
        return region(layout::kProgramOffset, layout::kProgramBytes);
    }
    std::span<const uint8_t> headerArea() const {
        return region(layout::kHeaderOffset, layout::kHeaderBytes);
    }
    std::span<const uint8_t> transferArea() const {
        return region(layout::kTransferOffset, layout::kTransferBytes);
    }
    std::span<const uint8_t> eepromArea() const {
        return region(layout::kEepromOffset, layout::kEepromBytes);
    }

    // Program word n (0..16383).
    Word programWord(std::size_t n) const { return wordAt(layout::kProgramOffset, layout::kProgramWords, n); }
    bool setProgramWord(std::size_t n, Word w) {
        return setWordAt(layout::kProgramOffset, layout::kProgramWords, n, w);
    }
    // ID word n (0..15).
    Word idWord(std::size_t n) const { return wordAt(layout::kIdOffset, layout::kIdBytes / 2, n); }
    bool setIdWord(std::size_t n, Word w) { return setWordAt(layout::kIdOffset, layout::kIdBytes / 2, n, w); }
    // Transfer word n (0..16383).
    Word transferWord(std::size_t n) const {
        return wordAt(layout::kTransferOffset, layout::kTransferBytes / 2, n);
    }
    bool setTransferWord(std::size_t n, Word w) {
        return setWordAt(layout::kTransferOffset, layout::kTransferBytes / 2, n, w);
    }
    // EEPROM byte n (0..1023).
    uint8_t eepromByte(std::size_t n) const {
        return n < layout::kEepromBytes ? bytes_[layout::kEepromOffset + n] : 0;
    }
    bool setEepromByte(std::size_t n, uint8_t v) {
        if (n >= layout::kEepromBytes) return false;
        bytes_[layout::kEepromOffset + n] = v;
        return true;
    }

  private:
    std::span<uint8_t> region(std::size_t off, std::size_t len) {
        return std::span<uint8_t>(bytes_).subspan(off, len);
    }
    std::span<const uint8_t> region(std::size_t off, std::size_t len) const {
        return std::span<const uint8_t>(bytes_).subspan(off, len);
    }
    Word wordAt(std::size_t base, std::size_t count, std::size_t n) const {
        if (n >= count) return Word{};
        return Word{bytes_[base + 2 * n], bytes_[base + 2 * n + 1]};
    }
    bool setWordAt(std::size_t base, std::size_t count, std::size_t n, Word w) {
        if (n >= count) return false;
        bytes_[base + 2 * n] = w.low;
        bytes_[base + 2 * n + 1] = w.high;
        return true;
    }

    std::array<uint8_t, layout::kImageSize> bytes_{};
};

}  // namespace qzr
