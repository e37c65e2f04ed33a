#include "core/options/OptionTables.h"

#include <algorithm>
#include <array>

namespace qzr {

namespace {

// Each table: a marker, then for every variant list its header {mask, caption}, its values in display
// order and the marker that ends it.

// Item 1.
constexpr OptionEntry kItem1[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x000F, "OSC Type:"},
    {0x000F, "Blank"},
    {0x0005, "HF"},
    {0x0006, "XT"},
    {0x0009, "LF"},
    {0x000A, "RC"},
    {kOptionMarker, "Error"},
    // List 2.
    {0x003F, "OSC Type:"},
    {0x003F, "Blank"},
    {0x0015, "HF"},
    {0x0016, "XT"},
    {0x0019, "LF"},
    {0x001A, "RC & PB4"},
    {0x002A, "RC & CLK"},
    {kOptionMarker, "Error"},
    // List 3.
    {0x0030, "PB4 Type:"},
    {0x0030, "Blank"},
    {0x0010, "PB4"},
    {0x0020, "CLKOUT"},
    {kOptionMarker, "Error"},
    // List 4.
    {0x003F, "OSC Type:"},
    {0x003F, "Blank"},
    {0x0015, "HF"},
    {0x0016, "XT"},
    {0x0019, "LF"},
    {0x001A, "RC"},
    {0x002A, "ECLK"},
    {kOptionMarker, "Error"},
    // List 5.
    {0x000F, "OSC freq:"},
    {0x000F, "Blank"},
    {0x0006, "6 MHz"},
    {0x0009, "18 MHz"},
    {0x000A, "24 MHz"},
    {kOptionMarker, "Error"},
    // List 6.
    {0x0003, "OSC freq:"},
    {0x0003, "Blank"},
    {0x0001, "6 MHz"},
    {0x0002, "12 MHz"},
    {kOptionMarker, "Error"},
    // List 7.
    {0x0030, "IRC freq:"},
    {0x0030, "Blank"},
    {0x0010, "4 MHz"},
    {0x0020, "8 MHz"},
    {kOptionMarker, "Error"},
    // List 8.
    {0x000F, "IRC freq:"},
    {0x000F, "Blank"},
    {0x000A, "455 KHz"},
    {0x0009, "1 MHz"},
    {0x0006, "4 MHz"},
    {0x0005, "8 MHz"},
    {kOptionMarker, "Error"},
    // List 9.
    {0x000F, "OSC Type:"},
    {0x000F, "Blank"},
    {0x0005, "HF"},
    {0x0006, "XT"},
    {0x0009, "LF"},
    {kOptionMarker, "Error"},
    // List 10.
    {0x000F, "IRC freq:"},
    {0x000F, "Blank"},
    {0x0005, "432 KHz"},
    {0x0006, "440 KHz"},
    {0x0009, "455 KHz"},
    {0x000A, "480 KHz"},
    {kOptionMarker, "Error"},
    // List 11.
    {0x0300, "IRC osc:"},
    {0x0300, "Blank"},
    {0x0200, "Enable"},
    {0x0100, "Disable"},
    {kOptionMarker, "Error"},
    // List 12.
    {0x0003, "IRC freq:"},
    {0x0003, "Blank"},
    {0x0001, "4 MHz"},
    {0x0002, "8 MHz"},
    {kOptionMarker, "Error"},
    // List 13.
    {0x000F, "OSC Type:"},
    {0x000F, "Blank"},
    {0x0005, "EXT-R"},
    {0x0006, "XT"},
    {0x0009, "LF"},
    {0x000A, "RC"},
    {kOptionMarker, "Error"},
    // List 14.
    {0x0C00000F, "OSC Type:"},
    {0x0C00000F, "Blank"},
    {0x04000005, "EXT-R"},
    {0x04000006, "XT"},
    {0x04000009, "LF"},
    {0x0400000A, "RC"},
    {0x0800000A, "Internal RC"},
    {kOptionMarker, "Error"},
    // List 15.
    {0x000F, "IRC freq:"},
    {0x000F, "Blank"},
    {0x0006, "4 MHz"},
    {0x0005, "8 MHz"},
    {kOptionMarker, "Error"},
};
// Item 2.
constexpr OptionEntry kItem2[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x0030, "PRD:"},
    {0x0030, "Blank"},
    {0x0020, "Disable"},
    {0x0010, "Enable"},
    {kOptionMarker, "Error"},
    // List 2.
    {0x0C00, "MCLR Hi:"},
    {0x0C00, "Blank"},
    {0x0800, "Disable"},
    {0x0400, "Enable"},
    {kOptionMarker, "Error"},
    // List 3.
    {0x0030, "Freq. x 2:"},
    {0x0030, "Blank"},
    {0x0010, "Disable"},
    {0x0020, "Enable"},
    {kOptionMarker, "Error"},
    // List 4.
    {0x0030, "Freq. x 2:"},
    {0x0030, "Blank"},
    {0x0020, "Disable"},
    {0x0010, "Enable"},
    {kOptionMarker, "Error"},
    // List 5.
    {0x0C00, "PB3 pin"},
    {0x0C00, "Blank"},
    {0x0800, "PB3"},
    {0x0400, "/MCLR"},
    {kOptionMarker, "Error"},
};
// Item 3.
constexpr OptionEntry kItem3[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x00F0, "OST:"},
    {0x00F0, "Blank"},
    {0x00A0, "150uS"},
    {0x0090, "20mS"},
    {0x0060, "40mS"},
    {0x0050, "80mS"},
    {kOptionMarker, "Error"},
    // List 2.
    {0x00F0, "OST:"},
    {0x00F0, "Blank"},
    {0x0090, "20mS"},
    {0x0060, "40mS"},
    {0x0050, "80mS"},
    {kOptionMarker, "Error"},
    // List 3.
    {0x03C0, "OST:"},
    {0x03C0, "Blank"},
    {0x0240, "20mS"},
    {0x0180, "40mS"},
    {0x0140, "80mS"},
    {kOptionMarker, "Error"},
    // List 4.
    {0x00C0, "PUT:"},
    {0x00C0, "Blank"},
    {0x0080, "0mS"},
    {0x0040, "75mS"},
    {kOptionMarker, "Error"},
    // List 5.
    {0x0300, "PUT:"},
    {0x0300, "Blank"},
    {0x0200, "0mS"},
    {0x0100, "75mS"},
    {kOptionMarker, "Error"},
    // List 6.
    {0x00C0, "IR NMOS:"},
    {0x00C0, "Blank"},
    {0x0040, "Disable"},
    {0x0080, "Enable"},
    {kOptionMarker, "Error"},
    // List 7.
    {0x00C0, "IR NMOS:"},
    {0x00C0, "Blank"},
    {0x0080, "Disable"},
    {0x0040, "Enable"},
    {kOptionMarker, "Error"},
    // List 8.
    {0x000C, "OST:"},
    {0x000C, "Blank"},
    {0x0008, "150uS"},
    {0x0004, "20mS"},
    {kOptionMarker, "Error"},
    // List 9.
    {0x00C0, "PUT:"},
    {0x00C0, "Blank"},
    {0x0040, "0mS"},
    {0x0080, "75mS"},
    {kOptionMarker, "Error"},
    // List 10.
    {0x00C0, "OST:"},
    {0x00C0, "Blank"},
    {0x0080, "20ms"},
    {0x0040, "150us(RC)/80ms"},
    {kOptionMarker, "Error"},
    // List 11.
    {0x00C0, "OST:"},
    {0x00C0, "Blank"},
    {0x0040, "150us"},
    {0x0080, "20ms"},
    {kOptionMarker, "Error"},
};
// Item 4.
constexpr OptionEntry kItem4[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x0300, "WDT:"},
    {0x0300, "Blank"},
    {0x0100, "Disable"},
    {0x0200, "Enable"},
    {kOptionMarker, "Error"},
    // List 2.
    {0x0C00, "WDT:"},
    {0x0C00, "Blank"},
    {0x0400, "Disable"},
    {0x0800, "Enable"},
    {kOptionMarker, "Error"},
    // List 3.
    {0x0030, "WDT:"},
    {0x0030, "Blank"},
    {0x0020, "Disable"},
    {0x0010, "Enable"},
    {kOptionMarker, "Error"},
    // List 4.
    {0x0003, "WDT:"},
    {0x0003, "Blank"},
    {0x0001, "Disable"},
    {0x0002, "Enable"},
    {kOptionMarker, "Error"},
    // List 5.
    {0x0300, "IRC osc:"},
    {0x0300, "Blank"},
    {0x0200, "Disable"},
    {0x0100, "Enable"},
    {kOptionMarker, "Error"},
    // List 6.
    {0x0C00, "WDT:"},
    {0x0C00, "Blank"},
    {0x0800, "Disable"},
    {0x0400, "Enable"},
    {kOptionMarker, "Error"},
    // List 7.
    {0x0030, "WDT:"},
    {0x0030, "Blank"},
    {0x0010, "Disable"},
    {0x0020, "Enable"},
    {kOptionMarker, "Error"},
    // List 8.
    {0x0300, "WDT:"},
    {0x0300, "Blank"},
    {0x0200, "Disable"},
    {0x0100, "Enable"},
    {kOptionMarker, "Error"},
};
// Item 5.
constexpr OptionEntry kItem5[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x0C00, "PED:"},
    {0x0C00, "Blank"},
    {0x0400, "Disable"},
    {0x0800, "Enable"},
    {kOptionMarker, "Error"},
    // List 2.
    {0x00C0, "PED:"},
    {0x00C0, "Blank"},
    {0x0080, "Disable"},
    {0x0040, "Enable"},
    {kOptionMarker, "Error"},
    // List 3.
    {0x0C30, "PED:"},
    {0x0C30, "Blank"},
    {0x0420, "Disable"},
    {0x0820, "Low level"},
    {0x0410, "Mid. level"},
    {0x0810, "High level"},
    {kOptionMarker, "Error"},
    // List 4.
    {0x0C30, "PED:"},
    {0x0C30, "Blank"},
    {0x0420, "Disable"},
    {0x0820, "Low level"},
    {0x0410, "Mid. level"},
    {kOptionMarker, "Error"},
    // List 5.
    {0x000C, "PED:"},
    {0x000C, "Blank"},
    {0x0004, "Disable"},
    {0x0008, "Enable"},
    {kOptionMarker, "Error"},
    // List 6.
    {0x0C00, "PED:"},
    {0x0C00, "Blank"},
    {0x0800, "Disable"},
    {0x0400, "Enable"},
    {kOptionMarker, "Error"},
    // List 7.
    {0x0CC0, "PED:"},
    {0x0CC0, "Blank"},
    {0x0880, "Disable"},
    {0x0840, "Low level"},
    {0x0480, "Mid. level"},
    {0x0440, "High level"},
    {kOptionMarker, "Error"},
    // List 8.
    {0x000F, "PED:"},
    {0x000F, "Blank"},
    {0x000A, "Disable"},
    {0x0009, "Low level"},
    {0x0006, "Mid. level"},
    {0x0005, "High level"},
    {kOptionMarker, "Error"},
    // List 9.
    {0x03C0, "PED:"},
    {0x03C0, "Blank"},
    {0x0140, "Disable"},
    {0x0180, "Low (slp off)"},
    {0x0240, "Low (always on)"},
    {0x0280, "Mid (always on)"},
    {kOptionMarker, "Error"},
    // List 10.
    {0x0C30, "PED:"},
    {0x0C30, "Blank"},
    {0x0810, "Disable"},
    {0x0410, "Low level"},
    {0x0820, "Mid. level"},
    {0x0420, "High level"},
    {kOptionMarker, "Error"},
    // List 11.
    {0x0C30, "PED:"},
    {0x0C30, "Blank"},
    {0x0420, "Disable"},
    {0x0820, "Low level"},
    {0x0410, "Mid. level"},
    {0x0810, "Low (always on)"},
    {kOptionMarker, "Error"},
};
// Item 6.
constexpr OptionEntry kItem6[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x3000, "Security:"},
    {0x3000, "Blank"},
    {0x2000, "Disable"},
    {0x1000, "Enable"},
    {kOptionMarker, "Error"},
    // List 2.
    {0x2000, "Security:"},
    {0x2000, "Disable"},
    {0x0000, "Enable"},
    {kOptionMarker, "Error"},
    // List 3.
    {0x0400, "Security:"},
    {0x0400, "Disable"},
    {0x0000, "Enable"},
    {kOptionMarker, "Error"},
    // List 4.
    {0x0100, "Security:"},
    {0x0100, "Disable"},
    {0x0000, "Enable"},
    {kOptionMarker, "Error"},
};
// Item 7.
constexpr OptionEntry kItem7[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x00030000, "Software WDT:"},
    {0x00030000, "Blank"},
    {0x00010000, "Disable"},
    {0x00020000, "Enable"},
    {kOptionMarker, "Error"},
};
// Item 8.
constexpr OptionEntry kItem8[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x000C0000, "Freq. x 2:"},
    {0x000C0000, "Blank"},
    {0x00040000, "Disable"},
    {0x00080000, "Enable"},
    {kOptionMarker, "Error"},
};
// Item 9.
constexpr OptionEntry kItem9[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x00300000, "I/O pull-hi:"},
    {0x00300000, "Blank"},
    {0x00100000, "Disable"},
    {0x00200000, "Enable"},
    {kOptionMarker, "Error"},
};
// Item 10.
constexpr OptionEntry kItem10[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x00C00000, "CLKOUT:"},
    {0x00C00000, "Blank"},
    {0x00400000, "Disable"},
    {0x00800000, "Enable"},
    {kOptionMarker, "Error"},
    // List 2.
    {0x00C00000, "RTCC/PA4:"},
    {0x00C00000, "Blank"},
    {0x00400000, "RTCC"},
    {0x00800000, "PA4"},
    {kOptionMarker, "Error"},
};
// Item 11.
constexpr OptionEntry kItem11[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x03000000, "Reset on Err.:"},
    {0x03000000, "Blank"},
    {0x01000000, "Disable"},
    {0x02000000, "Enable"},
    {kOptionMarker, "Error"},
};
// Item 12.
constexpr OptionEntry kItem12[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x0C000000, "Comparators:"},
    {0x0C000000, "Blank"},
    {0x08000000, "Disable"},
    {0x04000000, "Enable"},
    {kOptionMarker, "Error"},
    // List 2.
    {0x0C000000, "IRC freq.:"},
    {0x0C000000, "Blank"},
    {0x08000000, "4MHz"},
    {0x04000000, "6MHz"},
    {kOptionMarker, "Error"},
};
// Item 13.
constexpr OptionEntry kItem13[] = {
    {kOptionMarker, "Error"},
    // List 1.
    {0x30000000, "Low Pwr RC:"},
    {0x30000000, "Blank"},
    {0x10000000, "Disable"},
    {0x20000000, "Enable"},
    {kOptionMarker, "Error"},
};

constexpr std::array<std::span<const OptionEntry>, 13> kTables = {
    kItem1, kItem2, kItem3,  kItem4,  kItem5,  kItem6,  kItem7,
    kItem8, kItem9, kItem10, kItem11, kItem12, kItem13,
};

}  // namespace

std::span<const OptionEntry> optionItemTable(int item) {
    if (item < 1 || item > static_cast<int>(kTables.size())) return {};
    return kTables[static_cast<std::size_t>(item - 1)];
}

int optionListCount(int item) {
    const auto table = optionItemTable(item);
    if (table.empty()) return 0;
    // Every marker but the last begins a list.
    return static_cast<int>(std::count_if(table.begin(), table.end(),
                                          [](const OptionEntry& e) { return e.value == kOptionMarker; })) -
           1;
}

std::span<const OptionEntry> optionList(int item, int list) {
    const auto table = optionItemTable(item);
    if (list < 1) return {};
    int markers = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].value != kOptionMarker) continue;
        ++markers;
        if (markers == list) {
            start = i + 1;
        } else if (markers == list + 1) {
            return table.subspan(start, i + 1 - start);
        }
    }
    return {};
}

}  // namespace qzr
