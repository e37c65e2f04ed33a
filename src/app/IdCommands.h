#pragma once

#include <string_view>

namespace qzr {

struct MainState;

// The ID editor's OK: stores the edited text as ID bytes 0..11 (storeIdEditorText), then redraws the ID
// texts (IDLabelShow).
void applyIdEditorText(MainState& st, std::string_view text, int mode);

}  // namespace qzr
