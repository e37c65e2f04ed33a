#include "core/device/DeviceCatalogue.h"

#include <charconv>
#include <string>

namespace qzr {

namespace {

// name, romLastAddress, familyIndex, coreType, algorithmCode, modeBits, writerClass, optionAndMask,
// optionOrMask, deviceFlags, eepromLastAddress, oscHeaderRule, needsAdaptor, writerParam, inDownloadList
constexpr DeviceRecord kDevices[kDeviceCount] = {
    {"QZR-D01", 0x07FF, 27, 1, 0x32, 0xD0, 2, 0x00002FFF, 0x00000000, 0x06, 0x00FF, 0, 0, 0x3F, 0},
    {"QZR-D02", 0x03FF, 10, 2, 0x31, 0xD0, 2, 0x000033FF, 0x00000800, 0x06, 0x007F, 0, 0, 0x3F, 1},
    {"QZR-D03", 0x07FF, 10, 2, 0x31, 0xD0, 2, 0x000033FF, 0x00000800, 0x06, 0x007F, 0, 0, 0x3F, 0},
    {"QZR-D04", 0x03FF, 25, 2, 0x31, 0xD0, 2, 0x00002FFF, 0x00000000, 0x06, 0x007F, 0, 0, 0x3F, 1},
    {"QZR-D05", 0x0FFF, 36, 2, 0x35, 0xD0, 2, 0x00002FF0, 0x0000000A, 0x06, 0x00FF, 0, 0, 0x3F, 0},
    {"QZR-D06", 0x0FFF, 15, 2, 0x35, 0xD0, 2, 0x00002FFF, 0x00000000, 0x06, 0x00FF, 0, 0, 0x3F, 0},
    {"QZR-D07", 0x0FFF, 36, 2, 0x35, 0xD0, 2, 0x00002FF0, 0x0000000A, 0x06, 0x00FF, 0, 0, 0x3F, 1},
    {"QZR-D08", 0x0FFF, 15, 2, 0x35, 0xD0, 2, 0x00002FFF, 0x00000000, 0x06, 0x00FF, 0, 0, 0x3F, 0},
    {"QZR-D09", 0x01FF, 1, 1, 0x02, 0x20, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D10", 0x03FF, 1, 1, 0x02, 0x20, 1, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D11", 0x07FF, 31, 1, 0x12, 0x90, 2, 0x0FFF2FF0, 0x1000000A, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D12", 0x07FF, 35, 1, 0x13, 0x90, 2, 0x03FF2FF0, 0x1800000A, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D13", 0x07FF, 31, 1, 0x12, 0x90, 2, 0x0FFF2FF0, 0x1000000A, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D14", 0x07FF, 1, 1, 0x03, 0x20, 1, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D15", 0x07FF, 39, 1, 0x13, 0x90, 2, 0x00002FF0, 0x0000000A, 0x01, 0x0000, 0, 1, 0x3F, 0},
    {"QZR-D16", 0x03FF, 1, 1, 0x02, 0x20, 1, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D17", 0x07FF, 30, 1, 0x12, 0xC0, 2, 0x3FFF2FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D18", 0x07FF, 1, 1, 0x02, 0x20, 1, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D19", 0x03FF, 34, 1, 0x12, 0x90, 2, 0x3FCF2FFF, 0x00200000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D20", 0x07FF, 33, 1, 0x13, 0xA0, 2, 0x33FF2FFF, 0x08000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D21", 0x07FF, 30, 1, 0x12, 0xC0, 2, 0x3FFF2FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D22", 0x03FF, 7, 1, 0x10, 0xC0, 2, 0x00002000, 0x00000000, 0x01, 0x0000, 0, 0, 0x00, 1},
    {"QZR-D23", 0x01FF, 26, 1, 0x12, 0xD0, 2, 0x00002FCF, 0x00000020, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D24", 0x03FF, 4, 1, 0x31, 0xC0, 2, 0x000023F0, 0x0000040A, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D25", 0x03FF, 3, 1, 0x31, 0x40, 2, 0x000023FF, 0x00000400, 0x01, 0x0000, 3, 0, 0x3F, 0},
    {"QZR-D26", 0x03FF, 12, 2, 0x31, 0xD0, 2, 0x00002FC0, 0x0000001A, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D27", 0x03FF, 11, 2, 0x31, 0x50, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 1, 0, 0x3F, 0},
    {"QZR-D28", 0x03FF, 32, 2, 0x30, 0xD0, 2, 0x00002FF3, 0x00000008, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D29", 0x03FF, 2, 2, 0x22, 0x40, 1, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D30", 0x03FF, 22, 2, 0x30, 0xC0, 2, 0x00002FCF, 0x00000010, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D31", 0x07FF, 5, 2, 0x35, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D32", 0x0FFF, 5, 2, 0x35, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D33", 0x0BFF, 16, 2, 0x33, 0xD0, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D34", 0x07FF, 5, 2, 0x34, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D35", 0x07FF, 15, 2, 0x34, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D36", 0x0FFF, 6, 2, 0x34, 0x20, 2, 0x00002FCF, 0x00000020, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D37", 0x0FFF, 5, 2, 0x34, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D38", 0x0FFF, 15, 2, 0x34, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D39", 0x03FF, 5, 2, 0x32, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D40", 0x07FF, 5, 2, 0x32, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D41", 0x07FF, 5, 2, 0x35, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D42", 0x0FFF, 5, 2, 0x35, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D43", 0x0FFF, 20, 2, 0x32, 0xD0, 2, 0x00002FF0, 0x0000000A, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D44", 0x0FFF, 15, 2, 0x32, 0x50, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D45", 0x0FFF, 5, 2, 0x35, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D46", 0x0FFF, 15, 2, 0x35, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D47", 0x0FFF, 5, 2, 0x34, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D48", 0x0FFF, 15, 2, 0x34, 0x00, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 1},
    {"QZR-D49", 0x0FFF, 16, 2, 0x34, 0x50, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D50", 0x0FFF, 16, 2, 0x34, 0x50, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D51", 0x09FF, 13, 2, 0x35, 0x90, 2, 0x0000200F, 0x00000550, 0x01, 0x0000, 0, 1, 0x3F, 0},
    {"QZR-D52", 0x17FF, 14, 2, 0x34, 0x60, 2, 0x00002003, 0x00000554, 0x01, 0x0000, 0, 1, 0x3F, 0},
    {"QZR-D53", 0x0FFF, 20, 2, 0x35, 0xF0, 2, 0x00002FF0, 0x0000000A, 0x06, 0x00FF, 0, 0, 0x3F, 0},
    {"QZR-D54", 0x0FFF, 15, 2, 0x35, 0x50, 2, 0x00002FFF, 0x00000000, 0x06, 0x00FF, 0, 0, 0x3F, 0},
    {"QZR-D55", 0x0FFF, 20, 2, 0x35, 0xF0, 2, 0x00002FF0, 0x0000000A, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D56", 0x0FFF, 15, 2, 0x35, 0x70, 2, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D57", 0x07FF, 1, 1, 0x02, 0x20, 1, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D58", 0x03FF, 2, 2, 0x22, 0x40, 1, 0x00002FFF, 0x00000000, 0x01, 0x0000, 0, 0, 0x3F, 0},
    {"QZR-D59", 0x01FF, 21, 3, 0x30, 0xC8, 2, 0x0000043F, 0x00000000, 0x01, 0x0000, 0, 1, 0x07, 0},
};

constexpr std::array<uint8_t, kOptionItemCount> kFamilies[kFamilyCount] = {
    {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},     // 0
    {{1, 0, 1, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 1
    {{1, 1, 4, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 2
    {{1, 0, 2, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0}},     // 3
    {{0, 0, 2, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0}},     // 4
    {{1, 1, 4, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 5
    {{1, 0, 4, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 6
    {{0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}},     // 7
    {{1, 0, 3, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0}},     // 8
    {{0, 0, 3, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0}},     // 9
    {{1, 0, 5, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0}},     // 10
    {{4, 0, 4, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 11
    {{0, 0, 4, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 12
    {{5, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}},     // 13
    {{6, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}},     // 14
    {{1, 0, 4, 1, 3, 2, 0, 0, 0, 0, 0, 0, 0}},     // 15
    {{1, 0, 4, 1, 4, 2, 0, 0, 0, 0, 0, 0, 0}},     // 16
    {{0, 1, 4, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 17
    {{1, 0, 2, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 18
    {{0, 0, 2, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 19
    {{0, 0, 4, 1, 3, 2, 0, 0, 0, 0, 0, 0, 0}},     // 20
    {{7, 0, 0, 4, 5, 3, 0, 0, 0, 0, 0, 0, 0}},     // 21
    {{8, 0, 4, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 22
    {{7, 0, 0, 4, 5, 4, 0, 0, 0, 0, 0, 0, 0}},     // 23
    {{9, 3, 6, 5, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 24
    {{1, 0, 5, 3, 7, 2, 0, 0, 0, 0, 0, 0, 0}},     // 25
    {{10, 0, 6, 5, 6, 2, 0, 0, 0, 0, 0, 0, 0}},    // 26
    {{11, 4, 7, 6, 8, 2, 0, 0, 0, 0, 0, 0, 0}},    // 27
    {{12, 0, 0, 7, 9, 2, 0, 0, 0, 0, 0, 0, 0}},    // 28
    {{1, 0, 2, 1, 3, 2, 0, 0, 0, 0, 0, 0, 0}},     // 29
    {{13, 0, 10, 1, 11, 2, 1, 1, 1, 1, 1, 1, 1}},  // 30
    {{0, 0, 11, 1, 11, 2, 1, 1, 1, 1, 1, 1, 0}},   // 31
    {{12, 0, 4, 1, 3, 2, 0, 0, 0, 0, 0, 0, 0}},    // 32
    {{13, 0, 10, 1, 11, 2, 1, 1, 1, 1, 1, 0, 1}},  // 33
    {{14, 0, 10, 1, 11, 2, 1, 1, 0, 2, 1, 0, 1}},  // 34
    {{0, 0, 11, 1, 11, 2, 1, 1, 1, 1, 1, 0, 0}},   // 35
    {{0, 0, 4, 1, 3, 2, 0, 0, 0, 0, 0, 0, 0}},     // 36
    {{13, 0, 10, 1, 11, 2, 0, 0, 0, 0, 0, 0, 0}},  // 37
    {{0, 3, 4, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0}},     // 38
    {{0, 0, 11, 1, 11, 2, 0, 0, 0, 0, 0, 0, 0}},   // 39
};

}  // namespace

std::span<const DeviceRecord> deviceTable() {
    return kDevices;
}
std::span<const std::array<uint8_t, kOptionItemCount>> familyOptionTable() {
    return kFamilies;
}

std::optional<DeviceFields> findDevice(std::string_view name) {
    for (int i = 0; i < kDeviceCount; ++i) {
        const DeviceRecord& r = kDevices[i];
        if (name != r.name) continue;
        DeviceFields d;
        d.deviceIndex = i;
        d.deviceName = r.name;
        d.romLastAddress = r.romLastAddress;
        d.familyIndex = r.familyIndex;
        d.coreType = r.coreType;
        d.algorithmCode = r.algorithmCode;
        d.modeBits = r.modeBits;
        d.writerClass = r.writerClass;
        d.deviceFlags = r.deviceFlags;
        d.eepromLastAddress = r.eepromLastAddress;
        d.oscHeaderRule = r.oscHeaderRule;
        d.needsAdaptor = r.needsAdaptor;
        d.writerParam = r.writerParam;
        d.eepromSize = r.eepromLastAddress + 1;
        d.programByteCount = (r.romLastAddress + 1) * 2;
        d.optionMask1 = static_cast<uint16_t>(r.optionAndMask & 0xFFFF);
        d.optionMask2 = static_cast<uint16_t>(r.optionAndMask >> 16);
        d.optionByteCount = d.optionMask2 != 0 ? 4 : 2;
        d.optionItemSelector = kFamilies[r.familyIndex];
        d.highByteMask = r.coreType == 3 ? 0x0F : 0x7F;
        return d;
    }
    return std::nullopt;
}

int updateDeviceFields(DeviceFields& fields, std::string_view name) {
    const auto found = findDevice(name);
    if (!found) return -1;
    if (fields.deviceIndex != found->deviceIndex || fields.deviceName != found->deviceName) fields = *found;
    return found->deviceIndex;
}

std::string GetIcName(int index) {
    if (index < 0 || index >= kDeviceCount) return {};
    return kDevices[index].name;
}

uint8_t GetDownload(int index) {
    if (index < 0 || index >= kDeviceCount) return 0;
    return kDevices[index].inDownloadList;
}

uint16_t resetAddress(const DeviceFields& d) {
    return (d.algorithmCode & 0x20) ? 0 : d.romLastAddress;
}

}  // namespace qzr
