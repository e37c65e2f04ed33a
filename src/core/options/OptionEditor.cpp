#include "core/options/OptionEditor.h"

#include "core/options/Options.h"

namespace qzr {

OptionEditor::OptionEditor(std::array<uint8_t, 4>& optionBytes, bool& optionsChanged, OptionState& options,
                           const DeviceFields& device, UserInterface& ui)
    : optionBytes_(optionBytes),
      optionsChanged_(optionsChanged),
      options_(options),
      device_(device),
      ui_(ui) {
    const auto& b = optionBytes_;
    value_ = static_cast<uint32_t>(b[0] & 0x7F) | static_cast<uint32_t>(b[1]) << 7 |
             static_cast<uint32_t>(b[2] & 0x7F) << 16 | static_cast<uint32_t>(b[3]) << 23;
    for (int k = 1; k <= 13; ++k) {
        OptionEditorItem& item = items_[static_cast<std::size_t>(k - 1)];
        if (device_.optionItemSelector[static_cast<std::size_t>(k - 1)] == 0) continue;
        if (!GetOptData(options_, device_, ui_, k, 0)) continue;
        item.present = true;
        item.caption = options_.lastLookupText;
        const uint32_t mask = static_cast<uint32_t>(options_.lastLookupValue);
        for (int i = 1;; ++i) {
            GetOptData(options_, device_, ui_, k, i);
            if (options_.lastLookupValue == kOptionMarker) break;
            item.texts.push_back(options_.lastLookupText);
            // When several entries match, the last one stays selected.
            if ((value_ & mask) == static_cast<uint32_t>(options_.lastLookupValue)) item.selected = i - 1;
        }
    }
}

void OptionEditor::select(int item, int position) {
    if (item < 1 || item > 13) return;
    OptionEditorItem& view = items_[static_cast<std::size_t>(item - 1)];
    if (!view.present) return;
    if (position < -1 || position >= static_cast<int>(view.texts.size())) position = -1;
    view.selected = position;
    if (!GetOptData(options_, device_, ui_, item, 0)) return;
    const uint32_t mask = static_cast<uint32_t>(options_.lastLookupValue);
    // Position -1 picks the header, whose value is the mask: every bit of the item set, its blank state.
    if (!GetOptData(options_, device_, ui_, item, position + 1)) return;
    value_ = (value_ & (mask ^ 0x3FFF3FFFu)) | static_cast<uint32_t>(options_.lastLookupValue);
}

void OptionEditor::accept() {
    optionsChanged_ = true;
    optionBytes_[0] = static_cast<uint8_t>(value_ & 0x7F);
    optionBytes_[1] = static_cast<uint8_t>((value_ >> 7) & 0x7F);
    optionBytes_[2] = static_cast<uint8_t>((value_ >> 16) & 0x7F);
    optionBytes_[3] = static_cast<uint8_t>((value_ >> 23) & 0x7F);
}

}  // namespace qzr
