#include "options/OptionEditor.h"

#include "app/MainState.h"
#include "options/Options.h"

namespace qzr {

OptionEditor::OptionEditor(MainState& st) : st_(st) {
    const auto& b = st.optionBytes;
    value_ = static_cast<uint32_t>(b[0] & 0x7F) | static_cast<uint32_t>(b[1]) << 7 |
             static_cast<uint32_t>(b[2] & 0x7F) << 16 | static_cast<uint32_t>(b[3]) << 23;
    for (int k = 1; k <= 13; ++k) {
        OptionEditorItem& item = items_[static_cast<std::size_t>(k - 1)];
        if (st.device.optionItemSelector[static_cast<std::size_t>(k - 1)] == 0) continue;
        if (!GetOptData(st, k, 0)) continue;
        item.present = true;
        item.caption = st.options.lastLookupText;
        const uint32_t mask = static_cast<uint32_t>(st.options.lastLookupValue);
        for (int i = 1;; ++i) {
            GetOptData(st, k, i);
            if (st.options.lastLookupValue == kOptionMarker) break;
            item.texts.push_back(st.options.lastLookupText);
            // When several entries match, the last one stays selected.
            if ((value_ & mask) == static_cast<uint32_t>(st.options.lastLookupValue)) item.selected = i - 1;
        }
    }
}

void OptionEditor::select(int item, int position) {
    if (item < 1 || item > 13) return;
    OptionEditorItem& view = items_[static_cast<std::size_t>(item - 1)];
    if (!view.present) return;
    if (position < -1 || position >= static_cast<int>(view.texts.size())) position = -1;
    view.selected = position;
    if (!GetOptData(st_, item, 0)) return;
    const uint32_t mask = static_cast<uint32_t>(st_.options.lastLookupValue);
    // Position -1 picks the header, whose value is the mask: every bit of the item set, its blank state.
    if (!GetOptData(st_, item, position + 1)) return;
    value_ = (value_ & (mask ^ 0x3FFF3FFFu)) | static_cast<uint32_t>(st_.options.lastLookupValue);
}

void OptionEditor::accept() {
    st_.optionsChanged = true;
    st_.optionBytes[0] = static_cast<uint8_t>(value_ & 0x7F);
    st_.optionBytes[1] = static_cast<uint8_t>((value_ >> 7) & 0x7F);
    st_.optionBytes[2] = static_cast<uint8_t>((value_ >> 16) & 0x7F);
    st_.optionBytes[3] = static_cast<uint8_t>((value_ >> 23) & 0x7F);
}

void finishOptionEditor(MainState& st) {
    if (!st.optionsChanged) return;
    UpdateOption(st);
    st.optionsChanged = false;
}

}  // namespace qzr
