#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qzr {

// One row of the built-in device table.
struct DeviceRecord {
    const char* name;
    uint16_t romLastAddress;
    int32_t familyIndex;
    int32_t coreType;
    uint8_t algorithmCode;
    uint8_t modeBits;
    int32_t writerClass;
    uint32_t optionAndMask;  // option word 1 in bits 0-13, option word 2 in bits 16-29
    uint32_t optionOrMask;
    uint8_t deviceFlags;  // 0x01 one-time-programmable, 0x02 flash, 0x04 data EEPROM
    uint16_t eepromLastAddress;
    uint8_t oscHeaderRule;
    uint8_t needsAdaptor;
    uint8_t writerParam;
    uint8_t inDownloadList;
};

inline constexpr int kDeviceCount = 59;
inline constexpr int kFamilyCount = 40;
inline constexpr int kOptionItemCount = 13;

inline constexpr uint8_t kFlagOtp = 0x01;
inline constexpr uint8_t kFlagFlash = 0x02;
inline constexpr uint8_t kFlagEeprom = 0x04;

std::span<const DeviceRecord> deviceTable();
// familyOptionTable()[family][i] is the optionItemSelector of option item i + 1.
std::span<const std::array<uint8_t, kOptionItemCount>> familyOptionTable();

// The working fields that selecting a device sets in the main-window state.
struct DeviceFields {
    int deviceIndex = -1;
    std::string deviceName;
    uint16_t romLastAddress = 0;
    int32_t familyIndex = 0;
    int32_t coreType = 0;
    uint8_t algorithmCode = 0;
    uint8_t modeBits = 0;
    int32_t writerClass = 0;
    uint8_t deviceFlags = 0;
    uint16_t eepromLastAddress = 0;
    int eepromSize = 1;
    int programByteCount = 0;
    uint16_t optionMask1 = 0;
    uint16_t optionMask2 = 0;
    int optionByteCount = 2;
    std::array<uint8_t, kOptionItemCount> optionItemSelector{};
    uint8_t highByteMask = 0x7F;
    uint8_t oscHeaderRule = 0;
    uint8_t needsAdaptor = 0;
    uint8_t writerParam = 0;

    bool hasEeprom() const { return (deviceFlags & kFlagEeprom) != 0; }
    bool isFlash() const { return (deviceFlags & kFlagFlash) != 0; }
    int programWordCount() const { return programByteCount / 2; }
};

// Looks the name up (exact, case-sensitive, first match in table order): the device's working fields, or
// nothing for a name that is not in the table.
std::optional<DeviceFields> findDevice(std::string_view name);
// Looks the name up and, on a match, makes `fields` that device's; fields that are that device's already
// are not written again (every writer exchange looks the device up again, on a worker, while a window may
// read them). Returns the device's row, or -1 (nothing changed) for a name that is not in the table.
int updateDeviceFields(DeviceFields& fields, std::string_view name);

// Header areas and kinds.
enum HeaderArea : uint8_t {
    kAreaProgram = 0,
    kAreaOption = 1,
    kAreaId = 2,
    kAreaEeprom = 3,
    kAreaSpecial = 5
};
enum HeaderKind : uint8_t { kKindProgram = 0, kKindRead = 1, kKindErase = 2, kKindProgramPulse = 3 };

// Name and download flag of row `index` (empty / 0 outside the table).
std::string GetIcName(int index);
uint8_t GetDownload(int index);

// The reset vector address: 0 when bit 5 of algorithmCode is set, else romLastAddress.
uint16_t resetAddress(const DeviceFields& d);

}  // namespace qzr
