#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/common/UserInterface.h"
#include "core/device/DeviceCatalogue.h"
#include "core/options/OptionState.h"

namespace qzr {

// One item of the "Edit OPTION" dialog: a caption control and a combo box.
struct OptionEditorItem {
    bool present = false;  // the device has the item: caption shown, combo box enabled
    std::string caption;
    std::vector<std::string> texts;  // the combo box's list
    int selected = -1;               // selected position, -1 for none
};

// The working state of the option editor: built from the option bytes when the dialog is shown; nothing
// reaches the main window before accept().
class OptionEditor {
  public:
    // FormShow: the working value from the option bytes and every item's list and selection. The option
    // lookups go through `options` (its last lookup result) and show their failures through `ui`.
    OptionEditor(std::array<uint8_t, 4>& optionBytes, bool& optionsChanged, OptionState& options,
                 const DeviceFields& device, UserInterface& ui);

    const std::array<OptionEditorItem, 13>& items() const { return items_; }
    uint32_t workingValue() const { return value_; }

    // cbOptionkChange: item k (1..13) now shows `position` (-1 when a typed text selects no entry, which
    // sets every bit of the item).
    void select(int item, int position);

    // bbOkClick: the working value into the four option bytes; sets optionsChanged.
    void accept();

  private:
    std::array<uint8_t, 4>& optionBytes_;
    bool& optionsChanged_;
    OptionState& options_;
    const DeviceFields& device_;
    UserInterface& ui_;
    uint32_t value_ = 0;
    std::array<OptionEditorItem, 13> items_;
};

}  // namespace qzr
