#include "core/common/HexRecord.h"

namespace qzr {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

char* putHexByte(char* out, uint32_t v) {
    out[0] = kHexDigits[(v >> 4) & 0xF];
    out[1] = kHexDigits[v & 0xF];
    return out + 2;
}

}  // namespace

char* putHexRecord(char* out, uint16_t address, std::span<const uint8_t> data) {
    const auto count = static_cast<uint32_t>(data.size() & 0xFF);
    uint32_t sum = count + (address >> 8) + (address & 0xFFu);
    *out++ = ':';
    out = putHexByte(out, count);
    out = putHexByte(out, address >> 8);
    out = putHexByte(out, address & 0xFFu);
    *out++ = '0';
    *out++ = '0';
    for (const uint8_t b : data.first(count)) {
        out = putHexByte(out, b);
        sum += b;
    }
    out = putHexByte(out, (256 - sum % 256) % 256);
    *out++ = '\r';
    *out++ = '\n';
    return out;
}

std::string hexRecord(uint16_t address, std::span<const uint8_t> data) {
    std::string text(hexRecordChars(data.size()), '\0');
    text.resize(static_cast<std::size_t>(putHexRecord(text.data(), address, data) - text.data()));
    return text;
}

}  // namespace qzr
