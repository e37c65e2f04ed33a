#pragma once

#include <cstdint>
#include <string_view>

namespace qzr {

struct DeviceFields;
class UserInterface;
class MemoryImage;

// The two byte-address limits of a HEX file kind: bytes below `programLimit` go to the program area, even
// bytes from `eepromStart` on to the EEPROM area.
struct HexLimits {
    uint32_t programLimit;
    uint32_t eepromStart;
};

// The other maker's HEX files (.hex): program words 0000H-1FFFH, EEPROM at word address 2100H.
inline constexpr HexLimits kPicHexLimits{0x4000, 0x4200};
// The system's own HEX files (.mhx): program words 0000H-3FFFH, EEPROM at word address 4100H.
inline constexpr HexLimits kQzrHexLimits{0x8000, 0x8200};

// The largest HEX text the loader takes; any real file of either kind is far smaller.
inline constexpr std::size_t kMaxHexTextBytes = 8u << 20;

// What HexToObj found: the highest byte address seen below the EEPROM start (at most 0x8000), and whether
// every record read was whole and well-formed.
struct HexReadResult {
    int highest = 0;
    bool withoutError = true;
};

// Reads the Intel HEX records of `text` into `image`: the program area is first set to 0xFF, the first 598
// EEPROM bytes to 0; program bytes are stored as the file holds them (high bytes masked with
// highByteMask >> 1). A malformed record never stops the reading; one message names the last error and its
// record number. A record cut short is malformed: its missing characters read as 0 and raise the error of
// the first field they belong to (data, or the checksum). The caller decides what a damaged file may do.
HexReadResult HexToObj(const DeviceFields& device, UserInterface& ui, MemoryImage& image,
                       std::string_view text, HexLimits limits);

}  // namespace qzr
