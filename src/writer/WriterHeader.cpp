#include "writer/WriterHeader.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "app/DeviceCommands.h"
#include "app/MainState.h"

namespace qzr {

namespace {

// Reads an engineering-panel field as a decimal number (digits up to the first other character).
int panelNumber(const std::string& text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

void GetHeader(MainState& st, uint8_t area, uint8_t kind) {
    GetICInfo(st, st.deviceListText);
    const DeviceFields& d = st.device;
    auto h = st.image.headerArea();
    uint8_t b3 = 0, b4 = 0, b5 = 2, b7 = 3;
    uint8_t b6 = d.algorithmCode;
    uint8_t b8 = d.modeBits;
    if (st.settings.bypassIcCheck) b8 |= 0x80;
    switch (area) {
        case kAreaProgram:
            b3 = d.romLastAddress & 0xFF;
            b4 = d.romLastAddress >> 8;
            b5 = 0;
            break;
        case kAreaOption:
            b3 = kind == kKindRead ? 3 : static_cast<uint8_t>(d.optionByteCount / 2 - 1);
            b5 = 1;
            if (b7 < 48) b7 = 48;
            break;
        case kAreaId:
            b3 = kind == kKindRead ? 15 : 7;
            b5 = 2;
            break;
        case kAreaEeprom:
            b3 = d.eepromLastAddress & 0xFF;
            b4 = d.eepromLastAddress >> 8;
            b5 = 3;
            b6 |= 0x80;
            b7 = 20;
            if (kind == kKindRead) b8 |= 0x80;
            break;
        case kAreaSpecial:
            b3 = 19;
            b5 = 5;
            b7 = 48;
            break;
        default:
            break;
    }
    uint8_t command = 0xA5;
    switch (kind) {
        case kKindProgram:
            command = 0xA6;
            break;
        case kKindRead:
            command = 0xA5;
            break;
        case kKindErase:
            command = 0xA8;
            break;
        case kKindProgramPulse:
            command = 0xA7;
            break;
        default:
            break;
    }
    if (kind == kKindRead) {
        const uint8_t o0 = st.optionBytes[0], o1 = st.optionBytes[1];
        const bool osc = (o0 & 0x0F) == 0x0A;
        bool set = false;
        switch (d.oscHeaderRule) {
            case 1:
                set = osc;
                break;
            case 2:
                set = osc && (o0 & 0x30) != 0x20;
                break;
            case 3:
                set = osc && (o1 & 0x18) != 0x10;
                break;
            default:
                break;
        }
        if (set) b8 |= 0x80;
    } else if (kind == kKindErase) {
        b7 = st.panel.visible ? static_cast<uint8_t>(panelNumber(st.panel.eraseWidthText)) : 240;
    } else if (kind == kKindProgramPulse) {
        if (d.deviceFlags > 1) {
            b7 = st.panel.visible ? static_cast<uint8_t>(2 * panelNumber(st.panel.pulseWidthText)) : 5;
        } else if (b7 < 12) {
            b7 = 12;
        }
    }
    h[0] = 0xA1;
    h[1] = 0;
    h[2] = 0;
    h[3] = b3;
    h[4] = b4;
    h[5] = b5;
    h[6] = b6;
    h[7] = b7;
    h[8] = b8;
    h[9] = command;
}

void GetRomData(MainState& st) {
    auto program = st.image.programArea();
    auto transfer = st.image.transferArea();
    const int count = std::min<int>(st.device.programByteCount, static_cast<int>(program.size()));
    for (int i = 0; i + 1 < count; i += 2) {
        transfer[i] = program[i];
        transfer[i + 1] =
            st.device.coreType == 3 ? static_cast<uint8_t>(program[i + 1] | 0x70) : program[i + 1];
    }
}

}  // namespace qzr
