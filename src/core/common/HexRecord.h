#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qzr {

// The longest text of one data record of at most 255 bytes: ":", count, address, type, data, checksum, CR LF.
inline constexpr std::size_t hexRecordChars(std::size_t dataBytes) {
    return 11 + 2 * dataBytes + 2;
}

// Writes one Intel HEX data record (type 00) at `out`: ":", the byte count, the 16-bit address, "00", the
// data bytes and the checksum in upper-case hex digits, then CR LF. `out` must have room for
// hexRecordChars(data.size()) characters; returns the end of what was written.
char* putHexRecord(char* out, uint16_t address, std::span<const uint8_t> data);

// The same record as a text.
std::string hexRecord(uint16_t address, std::span<const uint8_t> data);

}  // namespace qzr
