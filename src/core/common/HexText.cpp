#include "core/common/HexText.h"

#include <cstdio>

namespace qzr {

HexParse parseHex(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            return HexParse{0, false};
        }
        value = value * 16 + digit;  // wraps like the 32-bit original on over-long texts
    }
    return HexParse{value, true};
}

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}  // namespace

std::string hexDigits(uint32_t value, int digits) {
    std::string text(static_cast<std::size_t>(digits > 0 ? digits : 0), '0');
    for (auto it = text.rbegin(); it != text.rend(); ++it, value >>= 4) *it = kHexDigits[value & 0x0F];
    return text;
}

std::string hexText(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", value);
    return buf;
}

void appendHexByte(std::string& out, uint8_t b) {
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 0x0F];
}

std::string hexByteList(std::span<const uint8_t> bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        appendHexByte(text, b);
    }
    return text;
}

uint32_t HexToInt(bool& valid, std::string_view text) {
    const HexParse p = parseHex(text);
    valid = p.valid;
    return p.value;
}

}  // namespace qzr
