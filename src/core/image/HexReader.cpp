#include "core/image/HexReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "core/common/HexText.h"
#include "core/common/UserInterface.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"

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

// Digit values of 0-9, A-F and a-f; 0xFF for every other character.
constexpr std::array<uint8_t, 256> kDigitValue = [] {
    std::array<uint8_t, 256> t{};
    t.fill(0xFF);
    for (int c = 0; c < 10; ++c) t['0' + c] = static_cast<uint8_t>(c);
    for (int c = 0; c < 6; ++c) {
        t['A' + c] = static_cast<uint8_t>(10 + c);
        t['a' + c] = static_cast<uint8_t>(10 + c);
    }
    return t;
}();

// The `len` characters at 0-based position `pos` of the record read as a hexadecimal number, as HexToInt
// reads them: any character that is not a hexadecimal digit makes the field invalid and its value 0.
// Characters beyond the end of the record are missing: the value is read from those that are there (a field
// wholly beyond the end reads as 0), and the field is invalid, since a record cut short is damaged.
HexParse field(const char* rec, std::size_t recLen, std::size_t pos, std::size_t len) {
    uint32_t value = 0;
    for (std::size_t i = pos; i < pos + len && i < recLen; ++i) {
        const uint8_t digit = kDigitValue[static_cast<unsigned char>(rec[i])];
        if (digit == 0xFF) return HexParse{0, false};
        value = value * 16 + digit;
    }
    return HexParse{value, pos + len <= recLen};
}

}  // namespace

HexReadResult HexToObj(const DeviceFields& device, UserInterface& ui, MemoryImage& image,
                       std::string_view text, HexLimits limits) {
    std::fill(image.programArea().begin(), image.programArea().end(), 0xFF);
    auto eeprom = image.eepromArea();
    std::fill(eeprom.begin(), eeprom.begin() + layout::kEepromClearBytes, 0);

    const uint8_t highMask = static_cast<uint8_t>(device.highByteMask >> 1);
    HexError error = HexError::none;
    int errorRecord = 0;
    int record = 0;
    uint32_t highest = 0;
    uint8_t* const program = image.programArea().data();
    const char* pos = text.data();
    const char* const textEnd = text.data() + text.size();

    while (pos < textEnd) {
        ++record;
        // Everything up to the next ':' is skipped; the record runs to the line end or the end of the text.
        const char* rec =
            static_cast<const char*>(std::memchr(pos, ':', static_cast<std::size_t>(textEnd - pos)));
        if (rec == nullptr) break;  // an empty record text: its byte count reads as 0
        const char* lineEnd = rec;
        while (lineEnd < textEnd && *lineEnd != '\r' && *lineEnd != '\n') ++lineEnd;
        const std::size_t len = static_cast<std::size_t>(lineEnd - rec);
        pos = lineEnd < textEnd ? lineEnd + 1 : textEnd;

        auto fail = [&](HexError e) {
            error = e;
            errorRecord = record;
        };

        const HexParse count = field(rec, len, 1, 2);
        if (!count.valid) fail(HexError::byteCount);
        if (count.value == 0) break;
        const HexParse address = field(rec, len, 3, 4);
        if (!address.valid) fail(HexError::address);
        uint32_t sum = count.value + (address.value & 0xFF) + ((address.value >> 8) & 0xFF);
        sum += field(rec, len, 7, 2).value;  // the record type; every record with data is a data record

        for (uint32_t i = 0; i < count.value; ++i) {
            const HexParse data = field(rec, len, 9 + 2 * i, 2);
            if (!data.valid) fail(HexError::data);
            const uint8_t byte = static_cast<uint8_t>(data.value);
            const uint32_t a = address.value + i;
            if (a < limits.programLimit) {
                if (a < layout::kProgramBytes)
                    program[a] = (a & 1) ? static_cast<uint8_t>(byte & highMask) : byte;
            } else if (a >= limits.eepromStart && (a & 1) == 0) {
                image.setEepromByte((a - limits.eepromStart) / 2, byte);  // refused outside the EEPROM area
            }
            if (a > highest && a < limits.eepromStart) highest = a;
            sum += byte;
        }

        const HexParse checksum = field(rec, len, 9 + 2 * count.value, 2);
        if (!checksum.valid || checksum.value != (256 - sum % 256) % 256) fail(HexError::checksum);
    }

    if (error != HexError::none) ui.message(errorText(error) + std::to_string(errorRecord) + " !");
    return HexReadResult{static_cast<int>(std::min<uint32_t>(highest, 0x8000)), error == HexError::none};
}

}  // namespace qzr
