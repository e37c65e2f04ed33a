#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/common/ViewHooks.h"
#include "core/device/DeviceCatalogue.h"
#include "core/image/MemoryImage.h"
#include "core/options/OptionState.h"

namespace qzr {

// The ID text of the ID window: image bytes 0..11 as hexadecimal bytes (HEX mode) or as characters up to the
// first zero byte (ASCII mode).
std::string idText(const MemoryImage& image, int mode);

// The ID-checksum text: image bytes 12..15 as hexadecimal bytes (HEX mode); in ASCII mode "Blank" for blank
// words, otherwise each word's halves as characters (core type 3: the high half as a hexadecimal digit).
std::string idChecksumText(const DeviceFields& device, const MemoryImage& image, int mode);

// IDLabelShow: builds both texts in the current display mode and copies them to the main window's ID group
// and "Checksum in IC:".
void IDLabelShow(OptionState& options, const DeviceFields& device, const MemoryImage& image,
                 ViewHooks& views);

// The ID editor's starting text: HEX mode the 12 bytes as "XX XX ... XX" (35 characters), ASCII mode the ID
// text cut to 12 characters.
std::string idEditorText(const MemoryImage& image, int mode);

// Stores the ID editor's text as ID bytes 0..11 (HEX mode: pairs at positions 3i, 3i+1, any other or missing
// character counts as F; ASCII mode: one character per byte, the rest blank), each low half masked with 0x7F
// and each high half with highByteMask.
void storeIdEditorText(MemoryImage& image, const DeviceFields& device, std::string_view text, int mode);

// Prepares the ID words for "Program ID and Checksum": ID bytes 0..31 into the transfer area (core type 3:
// 0x70 ORed into every high half) with the memory-checksum digits in bytes 12..15.
void GetIdChecksum(const OptionState& options, const DeviceFields& device, MemoryImage& image);

// What the ID words read back into the transfer area hold against the buffer.
struct IdVerifyResult {
    bool idDiffers = false;        // an ID word differs
    bool checksumDiffers = false;  // the checksum words differ from the memory-checksum text
    bool ok() const { return !idDiffers && !checksumDiffers; }
    friend bool operator==(const IdVerifyResult&, const IdVerifyResult&) = default;
};

// Compares the ID words read back into the transfer area.
IdVerifyResult VerifyIdChecksum(const OptionState& options, const DeviceFields& device,
                                const MemoryImage& image);

// The extended rows of the ID window.
struct IdExtendedView {
    std::string writerId;           // "Writer ID :" image byte 16
    std::string writerModel;        // "Writer Model :" byte 24
    std::string firmwareVersion;    // "Firmware Ver. :" byte 25
    std::string gangWriterId;       // "Gang Writer ID :" byte 22
    std::string gangWriterModel;    // "Gang Writer Model :" byte 20
    std::string gangWriterVersion;  // "Gang Writer Ver. :" byte 21
    std::string dump;               // image bytes 16..31
    std::string userOption;   // "User option (00h-03h) :" the four option bytes and the four read beside them
    std::string bodyOption0;  // "Body option (00h-03h):" image bytes 32..39
    std::string bodyOption1;  // "Body option (10h-13h):" image bytes 40..47
};
IdExtendedView idExtendedView(const OptionState& options, const std::array<uint8_t, 4>& optionBytes,
                              const MemoryImage& image);

}  // namespace qzr
