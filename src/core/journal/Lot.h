#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/serial_number/SerialNumberState.h"

namespace qzr {

// A lot is one serial-number space of a production journal. It is known by where the number goes and how it
// advances, never by the start value or the program data, so a new build of the same product keeps counting:
//   serial numbers: the device, the target (program memory or EEPROM), the start address, the byte count,
//                   the byte order and the advance (sequential with its increment, or pseudo-random);
//   a QTP list:     the SHA-256 of the file's content (the same list under another name is the same lot).
// A number of a serial lot is the serial bytes packed (byte 0 least significant); a number of a QTP lot is
// the record's index in the file (0 for the first record).
enum class LotKind { Sequential, PseudoRandom, Qtp };

struct Lot {
    std::string key;  // the lot's identity in the journal
    LotKind kind = LotKind::Sequential;
    int byteCount = 1;       // serial lots: bytes of the number (1..8)
    uint32_t increment = 1;  // sequential lots
};

Lot serialLot(std::string_view device, const SerialNumberState& serial);
Lot qtpLot(std::string_view content);

// The number that follows `value` in the lot: plus the increment modulo 256^n, the next state of the
// pseudo-random register, or the next record.
uint64_t nextInLot(const Lot& lot, uint64_t value);

// The current serial number packed, and stored back (bytes beyond the byte count cleared).
uint64_t serialValue(const SerialNumberState& serial);
void setSerialValue(SerialNumberState& serial, uint64_t value);

// A number as the user reads it: 2n upper-case hex digits, most significant first ("0106"); for a QTP lot
// "record K" counted from 1.
std::string lotNumberText(const Lot& lot, uint64_t value);

// The number a chip takes. `candidate` is the number the project holds now (the start value, the number
// after the last good chip, a failed chip's number, the QTP record read last). `held(n)`: the lot already
// holds n (passed, interrupted or still reserved; failed too when failed numbers are voided).
//   - not held, or `reuse` (the user's explicit choice): the candidate itself;
//   - held: the successor of the lot's last reserved number (or of the candidate when the lot has none),
//     skipping every held number; at most `maxSteps` numbers are tried (the lot's size bounds the run of
//     held ones), after which the lot counts as exhausted.
struct NumberChoice {
    uint64_t number = 0;
    bool moved = false;      // the candidate was held: the number continues the lot
    bool exhausted = false;  // no free number within maxSteps
};
NumberChoice chooseNumber(const Lot& lot, uint64_t candidate, std::optional<uint64_t> lastReserved,
                          const std::function<bool(uint64_t)>& held, bool reuse, uint64_t maxSteps);

// The message for a start value that was moved past the numbers the lot holds:
// "Serial No. continues at 0106: 0100-0105 are in the journal".
std::string continuesMessage(const Lot& lot, uint64_t candidate, uint64_t lastReserved, uint64_t number);

// SHA-256 of the bytes as 64 lower-case hex digits.
std::string sha256Hex(std::string_view bytes);

}  // namespace qzr
