#include "core/serial_number/SerialNumber.h"

#include <algorithm>
#include <array>
#include <optional>

#include "core/common/HexText.h"
#include "core/options/Options.h"
#include "core/serial_number/QtpFile.h"

namespace qzr {

namespace {

constexpr uint8_t kRtwiHigh = 0x62;  // high half of 0x31kk without its bit 0

uint64_t registerMask(int n) {
    return n >= kMaxSerialBytes ? ~0ull : (1ull << (8 * n)) - 1;
}

uint64_t packNumber(const SerialNumberState& serial, int n) {
    uint64_t v = 0;
    for (int k = n - 1; k >= 0; --k) v = (v << 8) | serial.number[static_cast<std::size_t>(k)];
    return v;
}

void unpackNumber(SerialNumberState& serial, int n, uint64_t v) {
    for (int k = 0; k < n; ++k) {
        serial.number[static_cast<std::size_t>(k)] = static_cast<uint8_t>(v & 0xFF);
        v >>= 8;
    }
}

// The serial byte placed at position i from the start address.
uint8_t placedByte(const SerialNumberState& serial, int n, int i) {
    const int k = serial.byteOrder == SerialByteOrder::MsbFirst ? n - 1 - i : i;
    return serial.number[static_cast<std::size_t>(k)];
}

// A decimal field read as a number: digits only, at least one, at most nine.
std::optional<long> parseDecimal(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::string notAnInteger(const std::string& text) {
    return "'" + text + "' is not a valid integer value";
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

void padLeft(std::string& text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), '0');
}

// "Start Value" cut to its last 2n characters and padded to 2n.
void fitStartValue(std::string& value, int n) {
    const std::size_t width = static_cast<std::size_t>(2 * n);
    if (value.size() > width) value.erase(0, value.size() - width);
    padLeft(value, width);
}

}  // namespace

int serialByteCount(const SerialNumberState& serial) {
    return std::clamp(serial.wordCount, 1, kMaxSerialBytes);
}

uint32_t serialProgramCapacity(const DeviceFields& device) {
    const int words = std::clamp(device.programWordCount(), 0, static_cast<int>(layout::kProgramWords));
    return static_cast<uint32_t>(words);
}

uint32_t serialEepromCapacity(const DeviceFields& device) {
    if (!device.hasEeprom()) return 0;
    return static_cast<uint32_t>(std::clamp(device.eepromSize, 0, static_cast<int>(layout::kEepromBytes)));
}

bool isRtwiWord(const MemoryImage& image, uint32_t address) {
    if (address >= layout::kProgramWords) return false;
    return (image.programWord(address).high & 0xFE) == kRtwiHigh;
}

std::string serialNumberText(const SerialNumberState& serial) {
    const int n = serialByteCount(serial);
    std::string text;
    for (int i = n - 1; i >= 0; --i) {
        if (i % 2 == 1) text += ' ';
        const uint8_t b = serial.number[static_cast<std::size_t>(i)];
        appendHexByte(text, b);
    }
    return text;
}

void ShowSerialNo(SerialNumberState& serial, ViewHooks& views) {
    serial.serialNoText = serialNumberText(serial);
    views.refreshSerialIndicators();
}

std::string serialModeLabel(const SerialNumberState& serial) {
    return serial.serialMode ? "Enable" : "Disable";
}

std::string qtpFileLabel(const SerialNumberState& serial) {
    return serial.qtpFileOpen ? serial.qtpFileLabel : "Disable";
}

bool SerialNo2Memory(SerialNumberState& serial, OptionState& options,
                     const std::array<uint8_t, 4>& optionBytes, const DeviceFields& device,
                     MemoryImage& image, ViewHooks& views) {
    if (!serial.serialMode) return true;
    const int n = serialByteCount(serial);
    const uint64_t start = serial.startAddress;
    bool placed = true;
    if (serial.target == SerialTarget::Eeprom) {
        if (start + static_cast<uint64_t>(n) > serialEepromCapacity(device)) {
            placed = false;
        } else {
            for (int i = 0; i < n; ++i)
                image.setEepromByte(start + static_cast<uint64_t>(i), placedByte(serial, n, i));
        }
    } else {
        if (start + static_cast<uint64_t>(n) > serialProgramCapacity(device)) placed = false;
        for (int i = 0; placed && i < n; ++i) {
            if (!isRtwiWord(image, static_cast<uint32_t>(start) + static_cast<uint32_t>(i))) placed = false;
        }
        if (placed) {
            for (int i = 0; i < n; ++i) {
                const std::size_t address = start + static_cast<std::size_t>(i);
                const uint8_t b = placedByte(serial, n, i);
                Word w = image.programWord(address);
                w.low = static_cast<uint8_t>(b & 0x7F);
                w.high = static_cast<uint8_t>((w.high & 0xFE) | (b >> 7));
                image.setProgramWord(address, w);
            }
            CalChecksum(options, optionBytes, device, image, views);
        }
    }
    ShowSerialNo(serial, views);
    return placed;
}

void SerialNoNext(SerialNumberState& serial) {
    const int n = serialByteCount(serial);
    const uint64_t mask = registerMask(n);
    uint64_t v = packNumber(serial, n);
    if (serial.mode == SerialKind::PseudoRandom) {
        v = pseudoRandomStep(v, n);
    } else {
        v = (v + serial.increment) & mask;
    }
    unpackNumber(serial, n, v);
}

bool SerialNoAfterGoodRun(SerialNumberState& serial, bool& qtpSimulation, OptionState& options,
                          const std::array<uint8_t, 4>& optionBytes, const DeviceFields& device,
                          MemoryImage& image, UserInterface& ui, ViewHooks& views) {
    if (!serial.serialMode) return true;
    if (serial.qtpFileOpen) {
        ReadSerialData(serial, device, ui);
        if (serial.qtpNoNumber) {
            EndQtpProgramming(serial, qtpSimulation, views);
            return false;
        }
    } else {
        SerialNoNext(serial);
    }
    SerialNo2Memory(serial, options, optionBytes, device, image, views);
    return true;
}

// ----- the dialog -----

SerialNoFields FillSerialNoFields(const SerialNumberState& serial) {
    SerialNoFields f;
    const int n = serialByteCount(serial);
    f.startAddress = hexDigits(serial.startAddress, 4);
    f.noOfByte = std::to_string(n);
    for (int i = n - 1; i >= 0; --i) {
        const uint8_t b = serial.number[static_cast<std::size_t>(i)];
        appendHexByte(f.startValue, b);
    }
    f.increment = std::to_string(serial.increment);
    f.mode = serial.mode;
    f.byteOrder = serial.byteOrder;
    f.target = serial.target;
    return f;
}

std::size_t serialFieldMaxLength(const SerialNoFields& fields, SerialField field) {
    switch (field) {
        case SerialField::StartAddress:
            return 4;
        case SerialField::NoOfByte:
            return 1;
        case SerialField::StartValue: {
            const auto n = parseDecimal(fields.noOfByte);
            return (n && *n >= 1 && *n <= kMaxSerialBytes) ? static_cast<std::size_t>(2 * *n) : 16;
        }
        case SerialField::Increment:
            return 3;
        case SerialField::NoOfPart:
            return 6;
    }
    return 0;
}

bool serialFieldAccepts(SerialField field, char c) {
    switch (field) {
        case SerialField::StartAddress:
        case SerialField::StartValue:
            return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        case SerialField::NoOfByte:
            return c >= '1' && c <= '8';
        case SerialField::Increment:
        case SerialField::NoOfPart:
            return c >= '0' && c <= '9';
    }
    return false;
}

std::string& fieldText(SerialNoFields& fields, SerialField field) {
    switch (field) {
        case SerialField::StartAddress:
            return fields.startAddress;
        case SerialField::NoOfByte:
            return fields.noOfByte;
        case SerialField::StartValue:
            return fields.startValue;
        case SerialField::Increment:
            return fields.increment;
        case SerialField::NoOfPart:
            break;
    }
    return fields.noOfPart;
}

const std::string& fieldText(const SerialNoFields& fields, SerialField field) {
    return fieldText(const_cast<SerialNoFields&>(fields), field);
}

void TypeSerialField(SerialNoFields& fields, SerialField field, const std::string& text) {
    std::string typed;
    const std::size_t limit =
        field == SerialField::StartValue ? std::string::npos : serialFieldMaxLength(fields, field);
    for (char c : text) {
        if (!serialFieldAccepts(field, c)) continue;
        if (typed.size() >= limit) break;
        typed += upper(c);
    }
    fieldText(fields, field) = typed;
}

bool LeaveSerialField(SerialNoFields& fields, SerialField field, UserInterface& ui) {
    switch (field) {
        case SerialField::StartAddress:
            padLeft(fields.startAddress, 4);
            return true;
        case SerialField::NoOfByte:
        case SerialField::StartValue: {
            const auto n = parseDecimal(fields.noOfByte);
            if (!n) {
                ui.message(notAnInteger(fields.noOfByte));
                return false;
            }
            if (*n < 1 || *n > kMaxSerialBytes) return true;  // refused by the check
            fitStartValue(fields.startValue, static_cast<int>(*n));
            if (field == SerialField::StartValue && fields.mode == SerialKind::PseudoRandom &&
                std::all_of(fields.startValue.begin(), fields.startValue.end(),
                            [](char c) { return upper(c) == 'F'; })) {
                // The all-ones state would lock the shift register.
                fields.startValue.assign(fields.startValue.size(), '0');
            }
            return true;
        }
        case SerialField::Increment:
        case SerialField::NoOfPart: {
            std::string& text = fieldText(fields, field);
            const auto v = parseDecimal(text);
            if (!v) {
                ui.message(notAnInteger(text));
                return false;
            }
            if (*v <= 0) text = "1";
            return true;
        }
    }
    return true;
}

bool CheckSerialNoSetting(SerialNumberState& serial, SerialNoFields& fields, const DeviceFields& device,
                          const MemoryImage& image, bool& hexTextValid, UserInterface& ui, ViewHooks& views) {
    serial.serialMode = false;
    const auto fail = [&](const std::string& text, bool errorBox = false) {
        if (errorBox) {
            ui.error(text);
        } else {
            ui.message(text);
        }
        views.refreshSerialIndicators();
        return false;
    };

    const auto n = parseDecimal(fields.noOfByte);
    if (!n || *n < 1 || *n > kMaxSerialBytes) return fail("\"No. of Byte\" is not a valid value!!");
    const auto increment = parseDecimal(fields.increment);
    if (!increment) return fail(" \"Increment\" is not a valid value!!");
    if (*increment == 0 || *increment > 255) {
        fields.increment.clear();
        return fail(" \"Increment\" is not a valid value!!");
    }
    std::transform(fields.startAddress.begin(), fields.startAddress.end(), fields.startAddress.begin(),
                   upper);
    padLeft(fields.startAddress, 4);
    const uint64_t start = HexToInt(hexTextValid, fields.startAddress);
    const uint64_t end = start + static_cast<uint64_t>(*n);
    if (fields.target == SerialTarget::Eeprom) {
        if (end > serialEepromCapacity(device)) return fail("Serial no located beyond EEPROM memory size");
    } else {
        if (end > serialProgramCapacity(device)) return fail("Serial no located beyond program memory size");
    }
    if (fields.startValue.size() > static_cast<std::size_t>(2 * *n)) {
        return fail("Start value over " + std::to_string(*n) + " bytes!!");
    }
    if (fields.target == SerialTarget::ProgramMemory) {
        for (uint64_t a = start; a < end; ++a) {
            if (!isRtwiWord(image, static_cast<uint32_t>(a))) {
                return fail("The program memory is not 'RTWI'. Serial No. will be disable!", true);
            }
        }
    }
    serial.serialMode = true;
    views.refreshSerialIndicators();
    return true;
}

void StoreSerialNoFields(SerialNumberState& serial, const SerialNoFields& fields) {
    serial.target = fields.target;
    const auto n = parseDecimal(fields.noOfByte);
    if (n && *n >= 1 && *n <= kMaxSerialBytes) serial.wordCount = static_cast<int>(*n);
    const int count = serialByteCount(serial);
    serial.startAddress = parseHex(fields.startAddress).value;
    std::string value = fields.startValue;
    fitStartValue(value, count);
    for (int i = 0; i < count; ++i) {
        const std::size_t at = value.size() - static_cast<std::size_t>(2 * i) - 2;
        serial.number[static_cast<std::size_t>(i)] =
            static_cast<uint8_t>(parseHex(value.substr(at, 2)).value);
    }
    if (const auto inc = parseDecimal(fields.increment)) serial.increment = static_cast<uint32_t>(*inc);
    serial.mode = fields.mode;
    serial.byteOrder = fields.byteOrder;
}

void SerialModeOff(SerialNumberState& serial, ViewHooks& views, bool closeQtp) {
    serial.serialMode = false;
    if (closeQtp) CloseQtpFile(serial);
    views.refreshSerialIndicators();
}

}  // namespace qzr
