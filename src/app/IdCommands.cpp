#include "app/IdCommands.h"

#include "app/MainState.h"
#include "core/options/IdCode.h"

namespace qzr {

void applyIdEditorText(MainState& st, std::string_view text, int mode) {
    storeIdEditorText(st.image, st.device, text, mode);
    IDLabelShow(st.options, st.device, st.image, *st.views);
}

}  // namespace qzr
