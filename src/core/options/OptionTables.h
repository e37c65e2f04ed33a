#pragma once

#include <cstdint>
#include <span>

namespace qzr {

// One entry of an option item table: a list header {mask, caption}, a value {bit pattern, text}, or a
// marker {-1, "Error"} that ends one variant list and begins the next.
struct OptionEntry {
    int32_t value;
    const char* text;
};

inline constexpr int32_t kOptionMarker = -1;

// The built-in table of option item 1..13 (empty for other numbers). Values are in optionValue layout:
// option word 1 in bits 0-13, option word 2 in bits 16-29.
std::span<const OptionEntry> optionItemTable(int item);

// The number of variant lists in the table of the item.
int optionListCount(int item);

// Variant list `list` (1-based) of the item: header, value entries and the end marker; empty when the
// table has no such list.
std::span<const OptionEntry> optionList(int item, int list);

}  // namespace qzr
