#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qzr {

// What the main window shows for one option item: a caption control and a value label.
struct OptionItemView {
    std::string caption;  // caption control text
    bool captionVisible = true;
    bool captionEnabled = true;
    std::string valueText;  // value label text
    bool valueVisible = true;
    bool valueEnabled = true;
};

// The main window's option items before the first UpdateOption: the design-time captions.
inline std::array<OptionItemView, 13> designTimeItems() {
    static constexpr const char* kCaptions[13] = {
        "OSC Type:",  "PRD:",     "OST:",    "WDT:",          "PED:",         "Security:",  "Software WDT:",
        "Freq. x 2:", "Pull-Hi:", "CLKOUT:", "Reset on Err.", "Comparators:", "Low Pwr RC:"};
    std::array<OptionItemView, 13> items;
    for (std::size_t k = 0; k < items.size(); ++k) items[k].caption = kCaptions[k];
    return items;
}

// ID display modes (the ID window's "ASCII or HEX" choice).
inline constexpr int kIdModeAscii = 0;
inline constexpr int kIdModeHex = 1;

// What UpdateOption found in the option items.
struct OptionStatus {
    bool blank = false;  // some option item is blank
    bool error = false;  // some option item is in error
    bool ok() const { return !blank && !error; }
    friend bool operator==(const OptionStatus&, const OptionStatus&) = default;
};

// Option display state, checksums and the ID display.
struct OptionState {
    OptionStatus optionStatus;

    // Option items 1..13 (index 0 is item 1); the captions are the controls' design-time captions until
    // UpdateOption replaces them.
    std::array<OptionItemView, 13> items = designTimeItems();
    // stOptionValue: the four option bytes as "XX XX XX XX".
    std::string optionValueText;

    // The last GetOptData result.
    std::string lastLookupText;
    int32_t lastLookupValue = 0;

    // The four further option bytes that Read IC stores beside optionBytes.
    std::array<uint8_t, 4> readOptionBytes{};

    // Checksums: the memory checksum as a number (read only by CalChecksum) and the three value texts.
    uint16_t memoryChecksum = 0;
    std::string memoryChecksumText = "Blank";
    std::string optionChecksumText = "Blank";
    std::string protectChecksumText = "Blank";
    std::string optionChecksumCaption = "w/OPTIONs:";

    // ID display: the mode outlives the ID window; the two texts are the main window's copies ("ID :" group
    // and "Checksum in IC:"), set by every IDLabelShow.
    int idDisplayMode = kIdModeAscii;
    std::string idText = "7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F 7F";
    std::string idChecksumText;
};

}  // namespace qzr
