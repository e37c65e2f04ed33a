#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qzr {

struct HexParse {
    uint32_t value = 0;  // 0 when the text was not valid
    bool valid = false;
};

// Parses a hexadecimal text (any case; an empty text is a valid 0). Any character other than 0-9, A-F and
// a-f makes the text invalid and the result 0.
HexParse parseHex(std::string_view text);

// The same, leaving the validity in `valid`.
uint32_t HexToInt(bool& valid, std::string_view text);

// Hexadecimal output is upper case. The low `digits` digits of `value`, zero-padded.
std::string hexDigits(uint32_t value, int digits);
// Without padding (7FF, FF).
std::string hexText(uint32_t value);
// Appends the two digits of a byte.
void appendHexByte(std::string& out, uint8_t b);
// Two digits per byte, separated by single blanks ("7F 5F 00 00").
std::string hexByteList(std::span<const uint8_t> bytes);

}  // namespace qzr
