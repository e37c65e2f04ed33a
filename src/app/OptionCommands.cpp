#include "app/OptionCommands.h"

#include "app/MainState.h"
#include "core/options/Options.h"

namespace qzr {

void ClearOption(MainState& st) {
    st.optionBytes.fill(0x7F);
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
}

void finishOptionEditor(MainState& st) {
    if (!st.optionsChanged) return;
    UpdateOption(st.options, st.optionBytes, st.device, st.image, *st.ui, *st.views);
    st.optionsChanged = false;
}

}  // namespace qzr
