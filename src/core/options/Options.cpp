#include "core/options/Options.h"

#include <algorithm>

#include "core/common/HexText.h"

namespace qzr {

namespace {

// Byte-sum of a word held as a low half L and a high half H: (W & 0xFF) + (W >> 8).
uint32_t byteSum(uint8_t low, uint8_t high) {
    return low + (high & 1u) * 0x80u + (high >> 1);
}

// Program words of the device, never more than the program area holds.
std::size_t programWords(const DeviceFields& d, std::size_t areaBytes) {
    return std::min(static_cast<std::size_t>(std::max(d.programByteCount, 0)), areaBytes) / 2;
}

}  // namespace

uint32_t optionValue(const std::array<uint8_t, 4>& b) {
    return static_cast<uint32_t>(b[0] & 0x7F) | static_cast<uint32_t>(b[1] & 0x7F) << 7 |
           static_cast<uint32_t>(b[2] & 0x7F) << 16 | static_cast<uint32_t>(b[3] & 0x7F) << 23;
}

const OptionEntry* findOptionEntry(const std::array<uint8_t, 13>& selectors, int item, int index) {
    if (item < 1 || item > 13 || index < 0) return nullptr;
    const auto list = optionList(item, selectors[static_cast<std::size_t>(item - 1)]);
    if (list.empty()) return nullptr;
    // The list ends with its marker; positions past it stay on the marker instead of running into the next
    // list or off the table.
    const std::size_t at = std::min(static_cast<std::size_t>(index), list.size() - 1);
    return &list[at];
}

bool GetOptData(OptionState& options, const DeviceFields& device, UserInterface& ui, int item, int index) {
    const OptionEntry* e = findOptionEntry(device.optionItemSelector, item, index);
    if (!e) {
        ui.message("Can not find Option item");
        return false;
    }
    options.lastLookupText = e->text;
    options.lastLookupValue = e->value;
    return true;
}

void UpdateOption(OptionState& o, std::array<uint8_t, 4>& optionBytes, const DeviceFields& device,
                  const MemoryImage& image, UserInterface& ui, ViewHooks& views) {
    for (int k = 0; k < 6; ++k) o.items[static_cast<std::size_t>(k)].valueVisible = true;

    // The device's valid bits: what is stored here is what gets programmed, saved and summed.
    const DeviceRecord* row = nullptr;
    if (device.deviceIndex >= 0 && device.deviceIndex < static_cast<int>(deviceTable().size())) {
        row = &deviceTable()[static_cast<std::size_t>(device.deviceIndex)];
    }
    const uint32_t a = row ? row->optionAndMask : 0x3FFF3FFFu;
    const uint32_t orMask = row ? row->optionOrMask : 0u;
    static constexpr int kShift[4] = {0, 7, 16, 23};
    for (std::size_t i = 0; i < 4; ++i) {
        const uint32_t keep = (a >> kShift[i]) & 0x7F;
        const uint32_t force = (orMask >> kShift[i]) & 0x7F;
        optionBytes[i] = static_cast<uint8_t>((optionBytes[i] & keep) | force);
    }

    o.optionStatus = {};
    const uint32_t v = optionValue(optionBytes);
    for (int k = 1; k <= 13; ++k) {
        OptionItemView& view = o.items[static_cast<std::size_t>(k - 1)];
        if (device.optionItemSelector[static_cast<std::size_t>(k - 1)] == 0) {
            view.captionEnabled = false;
            view.captionVisible = false;
            view.valueEnabled = false;
            view.valueText = "Blank";
            continue;
        }
        view.captionEnabled = true;
        view.captionVisible = true;
        view.valueEnabled = true;
        if (!GetOptData(o, device, ui, k, 0)) {
            // Not with the built-in tables; the item cannot be decoded.
            view.valueText = "Error";
            o.optionStatus.error = true;
            continue;
        }
        const uint32_t mask = static_cast<uint32_t>(o.lastLookupValue);
        view.caption = o.lastLookupText;
        for (int i = 1;; ++i) {
            GetOptData(o, device, ui, k, i);
            if (o.lastLookupValue == kOptionMarker) {
                o.optionStatus.error = true;
                break;
            }
            if ((v & mask) == static_cast<uint32_t>(o.lastLookupValue)) {
                if (o.lastLookupText == "Blank") o.optionStatus.blank = true;
                break;
            }
        }
        view.valueText = o.lastLookupText;
    }

    CalChecksum(o, optionBytes, device, image, views);
    o.optionValueText = optionBytesText(optionBytes);
    views.refreshOptionDisplay();
}

uint16_t memoryChecksum(const DeviceFields& device, const MemoryImage& image) {
    const auto program = image.programArea();
    const std::size_t words = programWords(device, program.size());
    uint32_t memory = 0;
    for (std::size_t n = 0; n < words; ++n) memory += byteSum(program[2 * n], program[2 * n + 1]);
    return static_cast<uint16_t>(memory);
}

std::string memoryChecksumDigits(const OptionState& options, const DeviceFields& device,
                                 const MemoryImage& image) {
    const std::string& text = options.memoryChecksumText;
    const bool digits = text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) {
                            return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
                        });
    return digits ? text : hexDigits(memoryChecksum(device, image), 4);
}

void CalChecksum(OptionState& o, const std::array<uint8_t, 4>& optionBytes, const DeviceFields& d,
                 const MemoryImage& image, ViewHooks& views) {
    const auto program = image.programArea();
    const std::size_t words = programWords(d, program.size());
    const uint8_t h = d.coreType == 3 ? 0x0F : 0x1F;

    const uint32_t memory = memoryChecksum(d, image);
    uint32_t protect = 0;
    for (std::size_t n = 0; n < words; ++n) {
        protect += (program[2 * n] | 0x1Fu) + 0x80u + ((program[2 * n + 1] | h) >> 1);
    }
    protect &= 0xFFFF;

    const auto& b = optionBytes;
    uint32_t options = (b[0] & 0x7Fu) + byteSum(0, b[1]);
    if (d.optionMask2 != 0) options += (b[2] & 0x7Fu) + byteSum(0, b[3]);
    o.optionChecksumCaption = "w/OPTIONs:";
    uint32_t data = memory;
    if (d.hasEeprom()) {
        const auto eeprom = image.eepromArea();
        const std::size_t count =
            std::min(static_cast<std::size_t>(std::max(d.eepromSize, 0)), eeprom.size());
        for (std::size_t i = 0; i < count; ++i) data += eeprom[i];
        o.optionChecksumCaption = "w/OPTIONs+EE:";
    }

    o.memoryChecksum = static_cast<uint16_t>(memory);
    o.memoryChecksumText = hexDigits(memory, 4);
    o.protectChecksumText = hexDigits(protect, 4);
    o.optionChecksumText = hexDigits(options + data, 4);
    views.refreshChecksums();
}

std::string optionBytesText(const std::array<uint8_t, 4>& b) {
    return hexByteList(b);
}

std::string optionStatusMessage(OptionStatus status) {
    if (status.blank && status.error) return "Some options are blank or error!";
    if (status.blank) return "Some options are blank!";
    if (status.error) return "Some options are error!";
    return {};
}

}  // namespace qzr
