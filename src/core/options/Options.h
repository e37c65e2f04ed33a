#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/common/UserInterface.h"
#include "core/common/ViewHooks.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"
#include "core/options/OptionState.h"
#include "core/options/OptionTables.h"

namespace qzr {

// The combined option value: option byte 0 | byte 1 << 7 | byte 2 << 16 | byte 3 << 23 (each byte 7 bits).
uint32_t optionValue(const std::array<uint8_t, 4>& optionBytes);

// The entry at `index` of the variant list that the selectors choose for option item `item` (1..13): index 0
// is the header {mask, caption}, 1 the first value; any index past the last value gives the list's end
// marker {-1, "Error"}. Null when the item has no such list (selector 0 or past the table).
const OptionEntry* findOptionEntry(const std::array<uint8_t, 13>& selectors, int item, int index);

// The same for the device; the entry's text and value become the last lookup result in `options`. When the
// list cannot be found shows "Can not find Option item", leaves the last result unchanged and returns false.
bool GetOptData(OptionState& options, const DeviceFields& device, UserInterface& ui, int item, int index);

// Normalises the option bytes for the device and rebuilds the option display state (option items,
// optionStatus, the option value text), recomputes the checksums and asks the views to refresh the option
// display.
void UpdateOption(OptionState& options, std::array<uint8_t, 4>& optionBytes, const DeviceFields& device,
                  const MemoryImage& image, UserInterface& ui, ViewHooks& views);

// The memory checksum: the 16-bit sum of the byte-sums of the device's program words.
uint16_t memoryChecksum(const DeviceFields& device, const MemoryImage& image);

// The memory checksum as CalChecksum last showed it, four upper-case hexadecimal digits; computed from the
// buffer when no checksum has been shown yet.
std::string memoryChecksumDigits(const OptionState& options, const DeviceFields& device,
                                 const MemoryImage& image);

// Recomputes the memory, option and after-protect checksums from the program words, the option bytes and the
// EEPROM bytes; sets the three texts and the option-checksum caption, then asks the views to refresh the
// checksums.
void CalChecksum(OptionState& options, const std::array<uint8_t, 4>& optionBytes, const DeviceFields& device,
                 const MemoryImage& image, ViewHooks& views);

// The four option bytes as two-digit upper-case hexadecimal numbers separated by one blank.
std::string optionBytesText(const std::array<uint8_t, 4>& optionBytes);

// The warning for an option status before programming or opening the information sheet: "" for 0.
std::string optionStatusMessage(OptionStatus optionStatus);

}  // namespace qzr
