#pragma once

// The line properties of the serial port component (bit rate, character frame, handshake, options) and how
// they become the termios settings of the device: a pure function from the properties to the settings, a
// pure check of the settings the driver reports back, and the driver's free rate setting for bit rates
// without a standard constant.

#include <termios.h>

#include <cstdint>
#include <initializer_list>
#include <optional>

#include "core/writer/CommLink.h"

namespace qzr {

// ---------------------------------------------------------------------------------------------------------
// Enumerations of the component (the value is the position).

enum class TBaudrate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum class TParity { paNone, paOdd, paEven, paMark, paSpace };
enum class TStopbits { sb10, sb15, sb20 };
enum class TDatabits { da4, da5, da6, da7, da8 };
enum class TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };

// The bit rate a TBaudrate member names.
int BaudrateValue(TBaudrate rate);

// A set of enumeration members, one bit per position.
template <typename E>
class TEnumSet {
  public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> members) {
        for (E m : members) Include(m);
    }
    static constexpr TEnumSet FromMask(std::uint32_t mask) {
        TEnumSet s;
        s.bits_ = mask;
        return s;
    }
    constexpr bool Contains(E m) const { return (bits_ >> static_cast<int>(m)) & 1U; }
    constexpr void Include(E m) { bits_ |= 1U << static_cast<int>(m); }
    constexpr void Exclude(E m) { bits_ &= ~(1U << static_cast<int>(m)); }
    constexpr std::uint32_t Mask() const { return bits_; }
    constexpr bool operator==(const TEnumSet&) const = default;

  private:
    std::uint32_t bits_ = 0;
};

using TCommOptions = TEnumSet<TCommOption>;

// ---------------------------------------------------------------------------------------------------------
// Line settings.

// The properties of the component that make up the line (the defaults are the component's).
struct CommLineSettings {
    TBaudrate baudRate = TBaudrate::br9600;
    TDatabits databits = TDatabits::da8;
    TParity parity = TParity::paNone;
    TStopbits stopbits = TStopbits::sb10;
    TFlowControl flowControl = TFlowControl::fcDefault;
    TCommOptions options;
    std::uint8_t xonChar = 17;
    std::uint8_t xoffChar = 19;
};

// The B-constant of a standard bit rate; 0 when the rate has none.
speed_t CommStandardSpeed(int rate);

// The settings of a line that had `current` and is to run raw with `settings`: no line editing, no echo, no
// character translation, reads that return at once (VMIN = VTIME = 0). A rate without a B-constant gets
// B38400 as a placeholder (CommSetFreeRate sets the real rate afterwards); fcDefault keeps the hardware
// handshake of `current`. Nothing when the line cannot have the settings (4 data bits, DSR/DTR handshake).
std::optional<termios> CommLineTermios(const termios& current, const CommLineSettings& settings);

// Whether the settings the driver reports (got) are those asked for (wanted): the flags the component sets,
// the special characters, and the speed when `rate` has a B-constant.
bool CommSameLineSettings(const termios& wanted, const termios& got, int rate);

// Whether a free rate the driver reports is the wanted one on the wire (the driver rounds to what its clock
// can make; within 3 % is the same rate).
bool CommFreeRateHolds(int wanted, speed_t got);

// Sets a rate without a B-constant on the open line fd through the driver's termios2 block and checks what
// the driver took; throws ECommError("Error updating DataControlBlock") when it refuses.
void CommSetFreeRate(int fd, int rate);

}  // namespace qzr
