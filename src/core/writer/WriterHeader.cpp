#include "core/writer/WriterHeader.h"

#include <algorithm>

#include "core/image/MemoryImage.h"

namespace qzr {

std::array<uint8_t, WriterHeader::kBytes> WriterHeader::encode() const {
    return {start,
            static_cast<uint8_t>(address & 0xFF),
            static_cast<uint8_t>(address >> 8),
            static_cast<uint8_t>(lastIndex & 0xFF),
            static_cast<uint8_t>(lastIndex >> 8),
            area,
            algorithm,
            timing,
            mode,
            command};
}

WriterHeader WriterHeader::decode(std::span<const uint8_t> bytes) {
    std::array<uint8_t, kBytes> b{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), kBytes), b.begin());
    WriterHeader h;
    h.start = b[0];
    h.address = static_cast<uint16_t>(b[1] | b[2] << 8);
    h.lastIndex = static_cast<uint16_t>(b[3] | b[4] << 8);
    h.area = b[5];
    h.algorithm = b[6];
    h.timing = b[7];
    h.mode = b[8];
    h.command = b[9];
    return h;
}

namespace {

uint8_t commandOf(uint8_t kind) {
    switch (kind) {
        case kKindProgram:
            return wb::kProgram;
        case kKindErase:
            return wb::kErase;
        case kKindProgramPulse:
            return wb::kProgramPulse;
        default:
            return wb::kRead;
    }
}

// Whether a read sets the skip bit for the device's oscillator rule.
bool oscillatorRuleApplies(const DeviceFields& d, const std::array<uint8_t, 4>& optionBytes) {
    const uint8_t o0 = optionBytes[0], o1 = optionBytes[1];
    const bool osc = (o0 & 0x0F) == 0x0A;
    switch (d.oscHeaderRule) {
        case 1:
            return osc;
        case 2:
            return osc && (o0 & 0x30) != 0x20;
        case 3:
            return osc && (o1 & 0x18) != 0x10;
        default:
            return false;
    }
}

}  // namespace

WriterHeader buildWriterHeader(const DeviceFields& d, const std::array<uint8_t, 4>& optionBytes,
                               const HeaderSettings& settings, uint8_t area, uint8_t kind) {
    WriterHeader h;
    h.area = 2;
    h.timing = 3;
    h.algorithm = d.algorithmCode;
    h.mode = d.modeBits;
    if (settings.bypassIcCheck) h.mode |= kModeSkipIcCheck;
    switch (area) {
        case kAreaProgram:
            h.lastIndex = d.romLastAddress;
            h.area = kAreaProgram;
            break;
        case kAreaOption:
            // Reading the options asks for 4 words whatever the device has.
            h.lastIndex = kind == kKindRead ? 3 : static_cast<uint8_t>(d.optionByteCount / 2 - 1);
            h.area = kAreaOption;
            h.timing = 48;
            break;
        case kAreaId:
            h.lastIndex = kind == kKindRead ? 15 : 7;
            h.area = kAreaId;
            break;
        case kAreaEeprom:
            h.lastIndex = d.eepromLastAddress;
            h.area = kAreaEeprom;
            h.algorithm |= kAlgorithmEeprom;
            h.timing = 20;
            if (kind == kKindRead) h.mode |= kModeSkipIcCheck;
            break;
        case kAreaSpecial:
            h.lastIndex = 19;
            h.area = kAreaSpecial;
            h.timing = 48;
            break;
        default:
            break;
    }
    h.command = commandOf(kind);
    if (kind == kKindRead) {
        if (oscillatorRuleApplies(d, optionBytes)) h.mode |= kModeSkipIcCheck;
    } else if (kind == kKindErase) {
        h.timing = settings.panelShown ? static_cast<uint8_t>(settings.eraseWidth) : 240;
    } else if (kind == kKindProgramPulse) {
        if (d.deviceFlags > 1) {
            h.timing = settings.panelShown ? static_cast<uint8_t>(2 * settings.pulseWidth) : 5;
        } else if (h.timing < 12) {
            h.timing = 12;
        }
    }
    return h;
}

void putHeader(MemoryImage& image, const WriterHeader& header) {
    const auto bytes = header.encode();
    std::copy(bytes.begin(), bytes.end(), image.headerArea().begin());
}

WriterHeader headerInImage(MemoryImage& image) {
    return WriterHeader::decode(image.headerArea());
}

void GetRomData(const DeviceFields& device, MemoryImage& image) {
    auto program = image.programArea();
    auto transfer = image.transferArea();
    const int count = std::min<int>(device.programByteCount, static_cast<int>(program.size()));
    for (int i = 0; i + 1 < count; i += 2) {
        transfer[i] = program[i];
        transfer[i + 1] = device.coreType == 3 ? static_cast<uint8_t>(program[i + 1] | 0x70) : program[i + 1];
    }
}

}  // namespace qzr
