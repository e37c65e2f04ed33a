#include "image/HexReader.h"

#include <algorithm>
#include <string>

#include "app/MainState.h"
#include "image/HexText.h"
#include "image/MemoryImage.h"

namespace qzr {

namespace {

enum class HexError { none, byteCount, address, data, checksum };

const char* errorText(HexError e) {
    switch (e) {
        case HexError::byteCount:
            return "Byte No. error at line ";
        case HexError::address:
            return "Address error at line ";
        case HexError::data:
            return "Data error at line ";
        case HexError::checksum:
            return "Checksum error at line ";
        case HexError::none:
            break;
    }
    return "Unknown error at line ";
}

// The characters at 0-based position `pos`, at most `len` of them; empty beyond the end of the record.
std::string_view field(std::string_view record, std::size_t pos, std::size_t len) {
    if (pos >= record.size()) return {};
    return record.substr(pos, len);
}

}  // namespace

int HexToObj(MainState& st, MemoryImage& image, std::string_view text, HexLimits limits) {
    auto program = image.programArea();
    std::fill(program.begin(), program.end(), 0xFF);
    auto eeprom = image.eepromArea();
    std::fill(eeprom.begin(), eeprom.begin() + layout::kEepromClearBytes, 0);

    const uint8_t highMask = static_cast<uint8_t>(st.device.highByteMask >> 1);
    HexError error = HexError::none;
    int errorRecord = 0;
    int record = 0;
    uint32_t highest = 0;
    std::size_t pos = 0;

    while (pos < text.size()) {
        ++record;
        const std::size_t colon = text.find(':', pos);
        if (colon == std::string_view::npos) break;  // an empty record text: its byte count reads as 0
        const std::size_t lineEnd = text.find_first_of("\r\n", colon);
        const std::string_view rec =
            text.substr(colon, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - colon);
        pos = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;

        auto fail = [&](HexError e) {
            error = e;
            errorRecord = record;
        };

        const HexParse count = parseHex(field(rec, 1, 2));
        if (!count.valid) fail(HexError::byteCount);
        if (count.value == 0) break;
        const HexParse address = parseHex(field(rec, 3, 4));
        if (!address.valid) fail(HexError::address);
        uint32_t sum = count.value + (address.value & 0xFF) + ((address.value >> 8) & 0xFF);
        sum += parseHex(field(rec, 7, 2)).value;  // the record type; every record with data is a data record

        for (uint32_t i = 0; i < count.value; ++i) {
            const HexParse data = parseHex(field(rec, 9 + 2 * i, 2));
            if (!data.valid) fail(HexError::data);
            const uint8_t byte = static_cast<uint8_t>(data.value);
            const uint32_t a = address.value + i;
            if (a < limits.programLimit) {
                if (a < program.size()) program[a] = (a & 1) ? static_cast<uint8_t>(byte & highMask) : byte;
            } else if (a >= limits.eepromStart && (a & 1) == 0) {
                image.setEepromByte((a - limits.eepromStart) / 2, byte);  // refused outside the EEPROM area
            }
            if (a > highest && a < limits.eepromStart) highest = a;
            sum += byte;
        }

        const HexParse checksum = parseHex(field(rec, 9 + 2 * count.value, 2));
        if (!checksum.valid || checksum.value != (256 - sum % 256) % 256) fail(HexError::checksum);
    }

    if (error != HexError::none) st.ui->message(errorText(error) + std::to_string(errorRecord) + " !");
    return static_cast<int>(std::min<uint32_t>(highest, 0x8000));
}

}  // namespace qzr
